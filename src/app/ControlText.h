#pragma once

#include <string>

class CTolvaneAppDlg;

// A control's whole text (edit text, button caption, editable combo text) as
// 8-bit text.
std::string GetCtrlText(const CTolvaneAppDlg& dialog, int id);
// The text of the combo's selected entry as 8-bit text; empty with no selection.
std::string GetComboText(const CTolvaneAppDlg& dialog, int id);
