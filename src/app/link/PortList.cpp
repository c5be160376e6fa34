#include <QComboBox>
#include <QStringList>

#include <algorithm>

#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"

// The port list: "NET", then every serial port found, in ascending order.
// The operator's entry stays selected, and stays listed while its device is
// away, so the list never changes the link under them.
void CTolvaneAppDlg::refreshPortList() {
    auto* list = static_cast<QComboBox*>(control(ctl::kPort));
    const QString selected = list->currentText();
    portNumbers_ = link_.serialPorts();

    QStringList entries{QStringLiteral("NET")};
    for (unsigned number : portNumbers_) {
        entries.append(QStringLiteral("COM%1").arg(number));
    }
    if (!selected.isEmpty() && !entries.contains(selected)) {
        const auto later = std::find_if(entries.begin() + 1, entries.end(), [&](const QString& e) {
            return e.mid(3).toUInt() > selected.mid(3).toUInt();
        });
        entries.insert(later, selected);
    }

    QStringList shown;
    for (int i = 0; i < list->count(); ++i) {
        shown.append(list->itemText(i));
    }
    if (shown == entries) {
        return;
    }
    list->clear();
    list->addItems(entries);
    list->setCurrentIndex(static_cast<int>(entries.indexOf(selected)));
}
