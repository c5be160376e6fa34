#include "ui/PortListCombo.h"

void PortListCombo::showPopup() {
    if (beforePopup_) {
        beforePopup_();
    }
    QComboBox::showPopup();
}
