#pragma once

#include <QString>

// A translated message may name the port as %1 ("Could not open %1."); the
// source texts name none and are shown exactly as they are.
QString withPortName(const QString& message, const QString& port);
