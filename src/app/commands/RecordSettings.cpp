// Where counting records go: the folder the operator chooses. The name and
// the format are rows of the bound controls; after each change of the three
// edit 1021 shows the path a record would get now.
#include <QFileDialog>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::refreshRecordPath() {
    setCtrlText(ctl::kRecordPath, decodeUtf8(recordPathNow()));
}

void CTolvaneAppDlg::onChooseRecordFolderClicked() {
    recordFolder = chooseFolder();
    if (!recordFolder.empty()) {
        store_.setText(setting::recordFolder, decodeUtf8(recordFolder));
    }
    refreshRecordPath();
}

std::string CTolvaneAppDlg::chooseFolder() {
    if (env_.selectFolder) {
        return env_.selectFolder();
    }
    const QString folder = QFileDialog::getExistingDirectory(this, tr("please select you file"));
    if (folder.isEmpty()) {
        return std::string();
    }
    return encodeUtf8(folder) + "/";
}
