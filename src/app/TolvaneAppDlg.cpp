#include "app/TolvaneAppDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>

#include <time.h>

#include <algorithm>

#include "app/AboutDlg.h"
#include "app/AppInfo.h"
#include "app/BoundControls.h"
#include "app/ControlFactory.h"
#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "app/link/LinkStatusBar.h"
#include "app/link/PortListCombo.h"
#include "inbound/RecordSaver.h"
#include "os/WakeEvent.h"
#include "storage/DiskWriter.h"

namespace {

// A combo's visible height is that of one row; the template's height is the
// height of its open list.
int visibleHeightDlu(const ControlRow& entry) {
    const bool combo = entry.kind == ControlKind::ListCombo ||
                       entry.kind == ControlKind::PortList || entry.kind == ControlKind::EditCombo;
    return combo ? 13 : entry.height;
}

std::uint32_t monotonicTick() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

}  // namespace

CTolvaneAppDlg::CTolvaneAppDlg(SettingsStore& store, DlgEnvironment environment, QWidget* parent)
    : QDialog(parent),
      store_(store),
      env_(std::move(environment)),
      appIcon(QIcon(QStringLiteral(":/TolvaneApp.png"))),
      link_(LinkSetup{env_.udpPort, env_.ports},
            LinkHandlers{
                [this](const std::string& chunk) { receiveChunk(chunk.data(), chunk.size()); },
                [this](const LinkStatus&) { showLinkStatus(); }, [this] { refreshPortList(); }}) {
    setWindowTitle(QString());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The layout is in dialog units of a 9-point font; a desktop that asks for
    // larger text gets its size, and the whole layout grows with it.
    QFont font = this->font();
    if (font.pointSizeF() < 9) {
        font.setPointSize(9);
    }
    setFont(font);
    createControls();
    bindHandlers();
    startUp();
}

CTolvaneAppDlg::~CTolvaneAppDlg() {
    stopBackgroundWork();
}

void CTolvaneAppDlg::createControls() {
    const DialogUnits units = dialogUnits(font());
    for (const ControlRow& entry : controlTable()) {
        QWidget* widget = makeControl(entry, this);
        // A label is never narrower than its text, whatever font the desktop has.
        const int width = entry.kind == ControlKind::Label
                              ? std::max(units.x(entry.width), widget->sizeHint().width())
                              : units.x(entry.width);
        widget->setGeometry(units.x(entry.x), units.y(entry.y), width,
                            units.y(visibleHeightDlu(entry)));
        if (entry.id != 0) {
            widget->setObjectName(QString::number(entry.id));
            controls_[entry.id] = widget;
        }
    }
    // The link's status line runs along the bottom, below the template's area.
    statusBar_ = new LinkStatusBar(this);
    fullClient_ = QSize(units.x(kWindowWidthDlu), units.y(kWindowHeightDlu + kStatusLineDlu));
    setFixedSize(fullClient_);
    placeStatusLine();
}

// A hidden window gets its resize events only when shown: the line is placed
// on every size change too.
void CTolvaneAppDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeStatusLine();
}

// A hidden window gets its resize events only once shown: the status line is
// also placed whenever the window is given a size.
void CTolvaneAppDlg::placeStatusLine() {
    const int lineHeight = dialogUnits(font()).y(kStatusLineDlu);
    statusBar_->setGeometry(0, height() - lineHeight, width(), lineHeight);
}

void CTolvaneAppDlg::bindHandlers() {
    auto onClick = [this](int id, void (CTolvaneAppDlg::*handler)()) {
        connect(static_cast<QAbstractButton*>(control(id)), &QAbstractButton::clicked, this,
                [this, handler] { (this->*handler)(); });
    };
    auto onPick = [this](int id, void (CTolvaneAppDlg::*handler)()) {
        connect(static_cast<QComboBox*>(control(id)), &QComboBox::activated, this,
                [this, handler] { (this->*handler)(); });
    };
    auto onChange = [this](int id, std::function<void()> handler) {
        changeHandlers_[id] = handler;
        connect(static_cast<QLineEdit*>(control(id)), &QLineEdit::textChanged, this,
                [handler] { handler(); });
    };

    onPick(ctl::kPort, &CTolvaneAppDlg::onLinkChosen);
    static_cast<PortListCombo*>(control(ctl::kPort))->setBeforePopup([this] { refreshPortList(); });
    // The machine's keys: fixed texts, nothing read, nothing stored.
    for (const auto& key :
         {std::pair{ctl::kRewind, commands::kRewind}, std::pair{ctl::kStop, commands::kStop},
          std::pair{ctl::kStart, commands::kStart}, std::pair{ctl::kPrint, commands::kPrint},
          std::pair{ctl::kClear, commands::kClear}}) {
        connect(static_cast<QAbstractButton*>(control(key.first)), &QAbstractButton::clicked, this,
                [this, command = key.second] { sendCommand(std::string(command)); });
    }
    onClick(ctl::kTime, &CTolvaneAppDlg::onSetClockClicked);
    onClick(ctl::kWifiSet, &CTolvaneAppDlg::onWifiSetClicked);
    onChange(ctl::kPresetCount, [this] { onPresetCountChanged(); });
    onClick(ctl::kPresetSign, &CTolvaneAppDlg::onPresetSignClicked);
    onClick(ctl::kPresetOn, &CTolvaneAppDlg::onPresetEnableClicked);
    onClick(ctl::kPrinterSet, &CTolvaneAppDlg::onSendTemplateClicked);
    onClick(ctl::kBrowse, &CTolvaneAppDlg::onChooseRecordFolderClicked);
    onClick(ctl::kPanelToggle, &CTolvaneAppDlg::onPanelToggleClicked);
    onClick(ctl::kPasswordChange, &CTolvaneAppDlg::onPanelPasswordChangeClicked);
    // Edits 1017, 1019 and 1036 report changes to a handler that does nothing;
    // 1010, 1016, 1021 and 1039 have none.
    for (int id : {ctl::kWifiPassword, ctl::kPanelPassword}) {
        onChange(id, [] {});
    }

    for (const BoundControl& bound : boundControls()) {
        auto changed = [this, &bound] { boundControlChanged(bound); };
        QWidget* widget = control(bound.id);
        if (auto* list = qobject_cast<QComboBox*>(widget)) {
            connect(list, &QComboBox::activated, this, changed);
        } else if (auto* lines = qobject_cast<QPlainTextEdit*>(widget)) {
            connect(lines, &QPlainTextEdit::textChanged, this, changed);
        } else {
            onChange(bound.id, changed);
        }
    }
}

QWidget* CTolvaneAppDlg::control(int id) const {
    const auto found = controls_.find(id);
    return found == controls_.end() ? nullptr : found->second;
}

QString CTolvaneAppDlg::ctrlText(int id) const {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        return edit->text();
    }
    if (auto* text = qobject_cast<QPlainTextEdit*>(widget)) {
        // A multi-line edit holds its line breaks as CR LF.
        QString plain = text->toPlainText();
        plain.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        return plain;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        return button->text();
    }
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        return combo->currentText();
    }
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        return label->text();
    }
    return QString();
}

void CTolvaneAppDlg::setCtrlText(int id, const QString& text) {
    QWidget* widget = control(id);
    if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        const bool unchanged = edit->text() == text;
        edit->setText(text);
        const auto handler = changeHandlers_.find(id);
        if (unchanged && handler != changeHandlers_.end()) {
            handler->second();
        }
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget)) {
        QString lines = text;
        lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        plain->setPlainText(lines);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    }
}

void CTolvaneAppDlg::addComboEntry(int id, const QString& text) {
    static_cast<QComboBox*>(control(id))->addItem(text);
}

int CTolvaneAppDlg::comboSelection(int id) const {
    return static_cast<QComboBox*>(control(id))->currentIndex();
}

void CTolvaneAppDlg::setComboSelection(int id, int index) {
    auto* combo = static_cast<QComboBox*>(control(id));
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

QString CTolvaneAppDlg::comboEntryText(int id, int index) const {
    return static_cast<QComboBox*>(control(id))->itemText(index);
}

int CTolvaneAppDlg::comboEntryCount(int id) const {
    return static_cast<QComboBox*>(control(id))->count();
}

int CTolvaneAppDlg::checkState(int id) const {
    return static_cast<QCheckBox*>(control(id))->isChecked() ? 1 : 0;
}

void CTolvaneAppDlg::setCheckState(int id, int state) {
    static_cast<QCheckBox*>(control(id))->setChecked(state != 0);
}

void CTolvaneAppDlg::messageBox(const QString& text) {
    if (env_.messageBox) {
        env_.messageBox(text);
        return;
    }
    QMessageBox::information(this, QString::fromLatin1(kAppName), text, QMessageBox::Ok);
}

std::time_t CTolvaneAppDlg::now() const {
    return env_.now ? env_.now() : std::time(nullptr);
}

std::uint32_t CTolvaneAppDlg::tick() const {
    return env_.tick ? env_.tick() : monotonicTick();
}

QSize CTolvaneAppDlg::frameExtra() const {
    return frameGeometry().size() - size();
}

void CTolvaneAppDlg::resizeOuter(int outerWidth, int outerHeight) {
    const QSize extra = frameExtra();
    setFixedSize(outerWidth - extra.width(), outerHeight - extra.height());
    placeStatusLine();
}

void CTolvaneAppDlg::takeFullRect() {
    const QRect frame = frameGeometry();
    const QSize extra = frameExtra();
    fullRect =
        WindowRect{frame.left(), frame.top(), frame.left() + fullClient_.width() + extra.width(),
                   frame.top() + fullClient_.height() + extra.height()};
    knownFrameExtra_ = extra;
}

// The window system adds its frame only once the window is shown; the
// full-size rectangle and the width shown then follow the real frame.
void CTolvaneAppDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    followFrame();
}

void CTolvaneAppDlg::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    followFrame();
}

void CTolvaneAppDlg::followFrame() {
    if (frameExtra() == knownFrameExtra_) {
        return;
    }
    takeFullRect();
    resizeOuter(panelOpen ? fullRect.width() : narrowWidth(fullRect), fullRect.height());
}

void CTolvaneAppDlg::accept() {}

// Enter clicks a focused push button and otherwise does nothing; it never
// closes the window.
void CTolvaneAppDlg::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CTolvaneAppDlg::reject() {
    stopBackgroundWork();
    QDialog::reject();
}

void CTolvaneAppDlg::closeEvent(QCloseEvent* event) {
    stopBackgroundWork();
    QDialog::closeEvent(event);
}

void CTolvaneAppDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr(kAboutMenuText), this, [this] { showAbout(); });
    menu.exec(event->globalPos());
}

void CTolvaneAppDlg::showAbout() {
    CAboutDlg about(appIcon, this);
    about.exec();
}
