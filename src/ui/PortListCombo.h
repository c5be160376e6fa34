#pragma once

#include <QComboBox>

#include <functional>

// The port list: before its entries drop down they are read again, for
// devices that no event announced.
class PortListCombo : public QComboBox {
  public:
    using QComboBox::QComboBox;

    void setBeforePopup(std::function<void()> beforePopup) {
        beforePopup_ = std::move(beforePopup);
    }
    void showPopup() override;

  private:
    std::function<void()> beforePopup_;
};
