#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "text/TextConv.h"

std::string GetCtrlText(const CTolvaneAppDlg& dialog, int id) {
    return WideToAnsi(dialog.ctrlText(id));
}

std::string GetComboText(const CTolvaneAppDlg& dialog, int id) {
    const int index = dialog.comboSelection(id);
    return index < 0 ? std::string() : WideToAnsi(dialog.comboEntryText(id, index));
}
