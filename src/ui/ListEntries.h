#pragma once

#include <QStringList>

#include "panel/PanelValues.h"

// The entries of the fixed list that shows `choice`, in their order.
QStringList listEntries(ChoiceValue choice);
