#pragma once

#include "ui/ControlTable.h"

class QFont;
class QWidget;

// Pixels per dialog unit, from the average character width and the height of
// a font, the way dialog templates are laid out.
struct DialogUnits {
    int baseX;
    int baseY;
    int x(int dlu) const { return dlu * baseX / 4; }
    int y(int dlu) const { return dlu * baseY / 8; }
};

DialogUnits dialogUnits(const QFont& font);

// A plain widget of the class that shows a control of this kind, with its
// caption, and nothing else.
QWidget* newControlWidget(const ControlRow& row, QWidget* parent);

// The window's control: the plain widget with the behaviour its kind asks for.
QWidget* makeControl(const ControlRow& row, QWidget* parent);
