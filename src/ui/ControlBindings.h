#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <vector>

#include "panel/PanelValues.h"

class PanelModel;
class QPlainTextEdit;
class QWidget;
struct ControlRow;

// Binds each control to the panel value of its row, both ways: the operator's
// change goes into the model (origin Operator), and every change of the model
// is shown in the controls that show that value. No control holds state that
// the model does not.
class ControlBindings : public QObject {
  public:
    // `refreshPorts` runs before the port list drops down.
    ControlBindings(PanelModel& model, std::function<void()> refreshPorts);

    // Binds `widget`, made for `row`, and shows the model's value in it.
    void bind(const ControlRow& row, QWidget* widget);

    // The template is taken from its edit once typing pauses, so a keystroke
    // costs the same whatever the template's size; this takes it now.
    void takeTemplate();

  private:
    void takeTypedTemplate();
    void show(const ValueId& value);
    void onShow(const ValueId& value, std::function<void()> showValue);
    // Runs `change` for a control's signal unless the control is being shown the model's value.
    template <typename Change>
    auto byOperator(Change change) {
        return [this, change](auto&&... arguments) {
            if (!showing_) {
                change(std::forward<decltype(arguments)>(arguments)...);
            }
        };
    }
    void bindText(const ControlRow& row, QWidget* widget, TextValue value);
    void bindTemplate(QPlainTextEdit* edit);
    void bindCount(QPlainTextEdit* edit);

    struct Shown {
        ValueId value;
        std::function<void()> show;
    };
    PanelModel& model_;
    std::function<void()> refreshPorts_;
    std::vector<Shown> shown_;
    QPlainTextEdit* templateEdit_ = nullptr;
    QTimer templatePause_;
    bool countPosted_ = false;
    // Set while a control shows the model's value: the signals that sets off
    // are no operator's change.
    bool showing_ = false;  // the count is laid out once per turn of the event loop
};
