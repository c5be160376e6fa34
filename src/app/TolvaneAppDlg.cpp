#include "app/TolvaneAppDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSocketNotifier>
#include <QTimer>

#include <time.h>

#include <algorithm>

#include "app/AboutDlg.h"
#include "app/AppInfo.h"
#include "app/ControlTable.h"
#include "app/PanelLock.h"
#include "inbound/ChunkQueue.h"
#include "inbound/RecordSaver.h"
#include "link/NetReceiver.h"
#include "link/SerialReceiver.h"
#include "link/WakeEvent.h"
#include "storage/DiskWriter.h"

namespace {

// Pixels per dialog unit, from the average character width and the height of
// the window's font, the way dialog templates are laid out.
struct DialogUnits {
    int baseX;
    int baseY;
    int x(int dlu) const { return dlu * baseX / 4; }
    int y(int dlu) const { return dlu * baseY / 8; }
};

DialogUnits dialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int averageWidth = (metrics.horizontalAdvance(alphabet) + 26) / 52;
    return DialogUnits{averageWidth, metrics.height()};
}

QWidget* makeControl(const ControlSpec& entry, QWidget* parent) {
    switch (entry.kind) {
        case ControlKind::Label:
            return new QLabel(QString::fromLatin1(entry.caption), parent);
        case ControlKind::ListCombo:
        case ControlKind::EditCombo: {
            auto* combo = new QComboBox(parent);
            if (entry.kind == ControlKind::EditCombo) {
                combo->setEditable(true);
                combo->setInsertPolicy(QComboBox::NoInsert);
                combo->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
            }
            return combo;
        }
        case ControlKind::Edit:
        case ControlKind::ClockEdit:
            return new QLineEdit(parent);
        case ControlKind::DigitsEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
            return edit;
        }
        case ControlKind::PasswordEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setEchoMode(QLineEdit::Password);
            return edit;
        }
        case ControlKind::PathEdit: {
            auto* edit = new QLineEdit(parent);
            edit->setReadOnly(true);
            return edit;
        }
        case ControlKind::DataEdit: {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(true);
            return edit;
        }
        case ControlKind::TemplateEdit: {
            auto* edit = new QPlainTextEdit(parent);
            edit->setTabChangesFocus(true);
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
            edit->setLineWrapMode(QPlainTextEdit::NoWrap);
            return edit;
        }
        case ControlKind::Button: {
            auto* button = new QPushButton(QString::fromLatin1(entry.caption), parent);
            button->setAutoDefault(false);  // Enter is handled by the window, see keyPressEvent
            return button;
        }
        case ControlKind::CheckBox:
            return new QCheckBox(QString::fromLatin1(entry.caption), parent);
    }
    return nullptr;
}

// A combo's visible height is that of one row; the template's height is the
// height of its open list.
int visibleHeightDlu(const ControlSpec& entry) {
    const bool combo = entry.kind == ControlKind::ListCombo || entry.kind == ControlKind::EditCombo;
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
      appIcon(QIcon(QStringLiteral(":/TolvaneApp.svg"))),
      chunks_(std::make_unique<ChunkQueue>()) {
    setWindowTitle(QString());
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    QFont font = this->font();
    font.setPointSize(9);
    setFont(font);
    createControls();
    bindHandlers();
    OnInitDialog();
}

CTolvaneAppDlg::~CTolvaneAppDlg() {
    stopBackgroundWork();
}

void CTolvaneAppDlg::createControls() {
    const DialogUnits units = dialogUnits(font());
    for (const ControlSpec& entry : controlTable()) {
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
    fullClient_ = QSize(units.x(kWindowWidthDlu), units.y(kWindowHeightDlu));
    setFixedSize(fullClient_);
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

    onPick(ctl::kPort, &CTolvaneAppDlg::OnCbnSelchangeComnumCombo);
    onClick(ctl::kRewind, &CTolvaneAppDlg::OnBnClickedRewind);
    onClick(ctl::kStop, &CTolvaneAppDlg::OnBnClickedStop);
    onClick(ctl::kStart, &CTolvaneAppDlg::OnBnClickedStart);
    onClick(ctl::kPrint, &CTolvaneAppDlg::OnBnClickedPrint);
    onClick(ctl::kClear, &CTolvaneAppDlg::OnBnClickedClear);
    onClick(ctl::kTime, &CTolvaneAppDlg::OnBnClickedTime);
    onClick(ctl::kWifiSet, &CTolvaneAppDlg::OnBnClickedWifiSet);
    onPick(ctl::kFunction, &CTolvaneAppDlg::OnCbnSelchangeFunctionCombo);
    onPick(ctl::kPitch, &CTolvaneAppDlg::OnCbnSelchangePitchCombo);
    onPick(ctl::kSpeedStep, &CTolvaneAppDlg::OnCbnSelchangeSpeedCombo);
    onChange(ctl::kPresetCount, [this] { OnEnChangePresetCnt(); });
    onClick(ctl::kPresetSign, &CTolvaneAppDlg::OnBnClickedPresetSign);
    onClick(ctl::kPresetOn, &CTolvaneAppDlg::OnBnClickedPreset);
    onChange(ctl::kSpeed1, [this] { OnEnChangeSpeed1(); });
    onChange(ctl::kSpeed2, [this] { OnEnChangeSpeed2(); });
    onChange(ctl::kSpeed3, [this] { OnEnChangeSpeed3(); });
    onClick(ctl::kPrinterSet, &CTolvaneAppDlg::OnBnClickedPrinterSet);
    connect(static_cast<QPlainTextEdit*>(control(ctl::kTemplate)), &QPlainTextEdit::textChanged,
            this, [this] { OnEnChangeFormat(); });
    onChange(ctl::kFileName, [this] { OnEnChangeFile(); });
    onClick(ctl::kBrowse, &CTolvaneAppDlg::OnBnClickedBrowse);
    onPick(ctl::kRecordFormat, &CTolvaneAppDlg::OnCbnSelchangeWorkstationCombo);
    onClick(ctl::kPanelToggle, &CTolvaneAppDlg::OnBnClickedPanelToggle);
    onClick(ctl::kPasswordChange, &CTolvaneAppDlg::OnBnClickedPasswordChange);
    // Edits 1017, 1019 and 1036 report changes to a handler that does nothing;
    // 1010, 1016, 1021 and 1039 have none.
    for (int id : {ctl::kWifiPassword, ctl::kPanelPassword}) {
        onChange(id, [] {});
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
    menu.addAction(QString::fromUtf8(kAboutMenuText), this, [this] { showAbout(); });
    menu.exec(event->globalPos());
}

void CTolvaneAppDlg::showAbout() {
    CAboutDlg about(appIcon, this);
    about.exec();
}
