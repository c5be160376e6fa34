// Where counting records go: folder, file name and format. Each change is
// stored at once and the path a record would get now is shown in edit 1021.
#include <QFileDialog>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"
#include "settings/SettingsKeys.h"
#include "settings/SettingsStore.h"
#include "text/TextConv.h"

void CTolvaneAppDlg::refreshRecordPath() {
    setCtrlText(ctl::kRecordPath, decodeUtf8(recordPathNow()));
}

void CTolvaneAppDlg::onChooseRecordFolderClicked() {
    recordFolder = chooseFolder();
    if (!recordFolder.empty()) {
        store_.WriteString(keys::fPath, decodeUtf8(recordFolder));
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
