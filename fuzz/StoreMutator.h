#pragma once

#include <QByteArray>
#include <optional>

// A change of a settings file that keeps it well-formed JSON: a value of the
// section, the section itself or a member beside it replaced by a value of
// another type or an edge value, a key added or removed. Qt's JSON parser is
// not instrumented, so byte mutations alone seldom reach these stores.
// Nothing when the file is not JSON.
std::optional<QByteArray> mutateStore(const QByteArray& file, unsigned seed);
