#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "commands/CommandSet.h"
#include "inbound/DeviceReport.h"
#include "link/SerialPortNames.h"

class QTimer;
class QKeyEvent;
class QShowEvent;
class QMoveEvent;
class QContextMenuEvent;
class QCloseEvent;
class SettingsStore;
class ChunkQueue;
class WakeEvent;
class QSocketNotifier;
class NetReceiver;
class SerialReceiver;
class DiskWriter;
class RecordSaver;

// The window's outer rectangle in screen pixels, frame included.
struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// What the window takes from its surroundings. The defaults are the real
// computer; tests put stand-ins in their place.
struct DlgEnvironment {
    std::function<std::time_t()> now;     // wall clock; empty: time()
    std::function<std::uint32_t()> tick;  // ms since boot mod 2^32; empty: CLOCK_MONOTONIC
    std::function<void(const QString&)> messageBox;      // empty: a modal message box
    std::function<std::string()> selectFolder;           // empty: Qt's folder chooser
    std::function<std::string()> localIp;                // empty: GetLocalIp
    PortsEnvironment ports = defaultPortsEnvironment();  // where COM names live
    std::uint16_t udpPort = commands::kUdpPort;          // tests may use another port
    bool startThreads = true;                            // receive threads and clock
    // Called with every frame dispatched; empty: nothing. Benchmarks count with it.
    std::function<void(const DeviceReport&)> frameHandled;
};

// The one window of the panel. Every reaction to the operator is a member
// handler here; they are defined in the folder of their subsystem (Dlg*.cpp).
class CTolvaneAppDlg : public QDialog {
    Q_OBJECT

  public:
    explicit CTolvaneAppDlg(SettingsStore& store, DlgEnvironment environment = {},
                            QWidget* parent = nullptr);
    ~CTolvaneAppDlg() override;

    // Start-up: fills the lists, shows the stored settings, narrows the window
    // and starts the background work. Called once by the constructor.
    bool OnInitDialog();

    // Window operations used by the handlers. Texts are UTF-16 here; the
    // readers in text/ControlText.h give 8-bit text.
    QWidget* control(int id) const;
    QString ctrlText(int id) const;
    // Replaces an edit's text or a button's caption. For a single-line edit this
    // runs its change handler, also when the text does not change, exactly as
    // the operator's typing would.
    void setCtrlText(int id, const QString& text);
    void addComboEntry(int id, const QString& text);
    int comboSelection(int id) const;
    void setComboSelection(int id, int index);  // no handler runs; outside the list: none
    QString comboEntryText(int id, int index) const;
    int checkState(int id) const;
    void setCheckState(int id, int state);  // no handler runs
    void messageBox(const QString& text);

    // Link (link/).
    void OnCbnSelchangeComnumCombo();
    void tmSendMsg(std::string text);

    // Keys and commands (commands/).
    void OnBnClickedRewind();
    void OnBnClickedStop();
    void OnBnClickedStart();
    void OnBnClickedPrint();
    void OnBnClickedClear();
    void OnBnClickedTime();
    void OnBnClickedWifiSet();
    void OnCbnSelchangeFunctionCombo();
    void OnCbnSelchangePitchCombo();
    void OnCbnSelchangeSpeedCombo();
    void OnEnChangePresetCnt();
    void OnBnClickedPresetSign();
    void OnBnClickedPreset();
    // The preset's sign lives only in the caption of button 1029.
    bool presetSignIsMinus() const;
    void OnEnChangeSpeed1();
    void OnEnChangeSpeed2();
    void OnEnChangeSpeed3();
    void OnBnClickedPrinterSet();
    void OnEnChangeFormat();
    void OnEnChangeFile();
    void OnBnClickedBrowse();
    void OnCbnSelchangeWorkstationCombo();
    std::string SelectFolder();

    // Parameter panel (app/).
    void OnBnClickedPanelToggle();
    void OnBnClickedPasswordChange();

    // Inbound (inbound/).
    bool tmRxFrame(const char* chunk, std::size_t length);
    void tmSyncState(const DeviceReport& report);
    void tmSaveRecord(const DeviceReport& report);
    std::string tmRecordPath();
    void tmShowClock();

    // Hands a received chunk to the window's thread; callable from any thread.
    void postChunk(std::string chunk);
    // Stops and joins every background thread; idempotent.
    void stopBackgroundWork();

    SettingsStore& settings() { return store_; }
    const DlgEnvironment& environment() const { return env_; }
    std::time_t now() const;
    std::uint32_t tick() const;

    WindowRect fullRect{};
    bool panelOpen = false;
    std::string recordFolder;
    std::uint32_t quickFailCount = 0;
    std::uint32_t lastFailTick = 0;
    DeviceState lastReport{};

  protected:
    void accept() override;  // Enter never closes the window
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

  private:
    void createControls();
    void bindHandlers();
    void startClock();
    void startReceivers();
    void drainChunks();
    void showCount(int count);
    void showRecordOutcome();
    RecordSaver& recordSaver();
    void speedEditChanged(int ownId, const char* key);
    void refreshRecordPath();
    void closeSerialLink();
    void resizeOuter(int outerWidth, int outerHeight);
    QSize frameExtra() const;
    void takeFullRect();
    void followFrame();
    void showAbout();

    SettingsStore& store_;
    DlgEnvironment env_;
    QIcon appIcon;
    QSize fullClient_;
    QSize knownFrameExtra_;
    std::map<int, QWidget*> controls_;
    std::map<int, std::function<void()>> changeHandlers_;
    std::vector<unsigned> portNumbers_;
    QTimer* clockTimer_ = nullptr;
    std::unique_ptr<ChunkQueue> chunks_;
    std::unique_ptr<WakeEvent> chunkWake_;
    std::unique_ptr<QSocketNotifier> chunkNotifier_;  // declared after its eventfd: goes first
    std::unique_ptr<NetReceiver> netReceiver_;
    std::unique_ptr<SerialReceiver> serialReceiver_;
    // Records go to the store's disk writer, or to one of the window's own
    // when the store has none; the writer tells of outcomes through an
    // eventfd. Declared in this order, the saver goes first.
    std::unique_ptr<DiskWriter> ownWriter_;
    std::unique_ptr<WakeEvent> recordWake_;
    std::unique_ptr<QSocketNotifier> recordNotifier_;
    std::unique_ptr<RecordSaver> records_;
    int countToShow_ = 0;
    bool countPosted_ = false;  // edit 1019 is updated once per turn of the event loop

    friend class CAboutDlg;
};
