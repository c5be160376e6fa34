#include <QString>

#include "app/ControlTable.h"
#include "app/ControlText.h"
#include "app/TolvaneAppDlg.h"
#include "commands/CommandSet.h"

namespace {

// Holds back every command while the mirror changes controls, so the change
// handlers it sets off store the machine's values but echo nothing.
class SendSuppression {
  public:
    explicit SendSuppression(Link& link) : link_(link) { link_.setSendsSuppressed(true); }
    ~SendSuppression() { link_.setSendsSuppressed(false); }
    SendSuppression(const SendSuppression&) = delete;
    SendSuppression& operator=(const SendSuppression&) = delete;

  private:
    Link& link_;
};

}  // namespace

// Shows the machine's settings in the controls, changing only what differs.
void CTolvaneAppDlg::tmSyncState(const DeviceReport& report) {
    const SendSuppression suppress(link_);
    const DeviceState& state = report.state;

    const int pitchPosition = commands::pitchPosition(state.pitch);
    if (comboSelection(ctl::kPitch) != pitchPosition) {
        setComboSelection(ctl::kPitch, pitchPosition);
    }
    if (comboSelection(ctl::kFunction) != state.function) {
        setComboSelection(ctl::kFunction, state.function);
    }
    if (comboSelection(ctl::kSpeedStep) != state.speed) {
        setComboSelection(ctl::kSpeedStep, state.speed);
    }

    const int shown1 = commands::leadingInt(GetCtrlText(*this, ctl::kSpeed1));
    const int shown2 = commands::leadingInt(GetCtrlText(*this, ctl::kSpeed2));
    const int shown3 = commands::leadingInt(GetCtrlText(*this, ctl::kSpeed3));
    if (shown1 != state.s1) {
        setCtrlText(ctl::kSpeed1, QString::number(state.s1));
    }
    if (shown2 != state.s2) {
        setCtrlText(ctl::kSpeed2, QString::number(state.s2));
    }
    if (shown3 != state.s3) {
        setCtrlText(ctl::kSpeed3, QString::number(state.s3));
    }

    const int shownPreset =
        commands::presetValue(presetSignIsMinus(), GetCtrlText(*this, ctl::kPresetCount));
    if (shownPreset != state.preset) {
        setCtrlText(ctl::kPresetSign,
                    state.preset >= 0 ? QStringLiteral("+") : QStringLiteral("-"));
        const qint64 magnitude = state.preset < 0 ? -qint64{state.preset} : qint64{state.preset};
        setCtrlText(ctl::kPresetCount, QString::number(magnitude));
    }

    if (checkState(ctl::kPresetOn) != state.presetOn) {
        setCheckState(ctl::kPresetOn, state.presetOn);
    }
}
