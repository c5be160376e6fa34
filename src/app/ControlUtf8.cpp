// The window's controls read as the 8-bit text everything else works with.
#include "app/TolvaneAppDlg.h"
#include "text/TextConv.h"

std::string CTolvaneAppDlg::ctrlUtf8(int id) const {
    return encodeUtf8(ctrlText(id));
}

std::string CTolvaneAppDlg::selectedEntryUtf8(int id) const {
    const int index = comboSelection(id);
    return index < 0 ? std::string() : encodeUtf8(comboEntryText(id, index));
}
