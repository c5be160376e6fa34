#pragma once

#include <vector>

#include "label/Label.h"

namespace label {

// A rectangle of an element's frame as it lies on the label once the element
// is turned by `quarterTurns` quarters clockwise about its origin (x, y).
DotRect turned(const DotRect& local, int x, int y, int quarterTurns);

// The smallest rectangle holding every shape of the element, in its frame.
DotRect boundsOf(const Element& element);

}  // namespace label
