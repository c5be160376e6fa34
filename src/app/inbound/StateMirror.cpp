#include <QString>

#include "app/TolvaneAppDlg.h"

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
void CTolvaneAppDlg::mirrorMachineState(const DeviceReport& report) {
    const SendSuppression suppress(link_);

    mirrorBoundControls(report.state);
    mirrorPreset(report.state);
}
