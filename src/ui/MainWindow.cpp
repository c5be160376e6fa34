#include "ui/MainWindow.h"

#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "commands/CommandSet.h"
#include "panel/Panel.h"
#include "text/TextConv.h"
#include "ui/AboutBox.h"
#include "ui/AppInfo.h"
#include "ui/ControlBindings.h"
#include "ui/ControlFactory.h"
#include "ui/LinkStatusBar.h"
#include "ui/SideWindows.h"

namespace {

// A combo's visible height is that of one row; the template's height is the
// height of its open list.
int visibleHeightDlu(const ControlRow& row) {
    const bool combo = row.kind == ControlKind::ListCombo || row.kind == ControlKind::PortList ||
                       row.kind == ControlKind::EditCombo;
    return combo ? 13 : row.height;
}

}  // namespace

MainWindow::MainWindow(Panel& panel, WindowEnvironment environment, QWidget* parent)
    : QDialog(parent),
      panel_(panel),
      env_(std::move(environment)),
      appIcon_(QIcon(QStringLiteral(":/TolvaneApp.png"))),
      bindings_(std::make_unique<ControlBindings>(
          panel.model(), [&panel] { panel.controller().refreshPorts(); })) {
    setWindowTitle(QString());
    setWindowIcon(appIcon_);
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
    panel_.controller().setNotice([this](const QString& text) { showMessage(text); });
    panel_.model().listen([this](const ValueId& value, Origin) {
        if (value == ValueId{FlagValue::PanelOpen}) {
            showPanelOpen();
        } else if (value == ValueId{OtherValue::LinkStatus} ||
                   value == ValueId{OtherValue::SettingsKept} ||
                   value == ValueId{OtherValue::JournalKept} ||
                   value == ValueId{OtherValue::PlantStatus}) {
            showStatusLine();
        }
    });
    showStatusLine();
    takeFullRect();
    showPanelOpen();
}

MainWindow::~MainWindow() {
    panel_.controller().setNotice({});
}

void MainWindow::createControls() {
    const DialogUnits units = dialogUnits(font());
    fullClient_ = QSize(units.x(kWindowWidthDlu), units.y(kWindowHeightDlu + kStatusLineDlu));
    const int narrowClient = fullClient_.width() / 2 - 35;
    for (const ControlRow& row : controlTable()) {
        QWidget* widget = makeControl(row, this);
        // A label is never narrower than its text, whatever font the desktop has.
        const int width = row.kind == ControlKind::Label
                              ? std::max(units.x(row.width), widget->sizeHint().width())
                              : units.x(row.width);
        widget->setGeometry(units.x(row.x), units.y(row.y), width, units.y(visibleHeightDlu(row)));
        if (row.id != 0) {
            widget->setObjectName(QString::number(row.id));
        }
        if (row.kind == ControlKind::TemplateEdit) {
            templateEdit_ = static_cast<QPlainTextEdit*>(widget);
        }
        if (row.id != 0 && widget->x() >= narrowClient) {
            panelControls_.push_back(widget);
        }
        bindings_->bind(row, widget);
        if (row.action != ControlAction::None) {
            connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, this,
                    [this, action = row.action] { act(action); });
        }
    }
    // The link's status line runs along the bottom, below the template's area,
    // with the buttons of the side windows at its right end.
    statusBar_ = new LinkStatusBar(this);
    sideWindows_ = new SideWindows(this, panel_, templateEdit_);
    sideWindows_->buttons()->setParent(statusBar_);
    setFixedSize(fullClient_);
    placeStatusLine();
    findChild<QWidget*>(QString::number(ctl::kPort))->setFocus();
}

void MainWindow::act(ControlAction action) {
    PanelController& controller = panel_.controller();
    switch (action) {
        case ControlAction::None:
            break;
        case ControlAction::Rewind:
            return controller.sendKey(commands::kRewind);
        case ControlAction::Stop:
            return controller.sendKey(commands::kStop);
        case ControlAction::Start:
            return controller.sendKey(commands::kStart);
        case ControlAction::Print:
            return controller.sendKey(commands::kPrint);
        case ControlAction::Clear:
            return controller.sendKey(commands::kClear);
        case ControlAction::SetClock:
            return controller.setMachineClock();
        case ControlAction::WifiSet:
            return controller.sendWifi();
        case ControlAction::PresetSign:
            return controller.flipPresetSign();
        case ControlAction::PrinterSet:
            takeEdits();
            return controller.sendTemplate();
        case ControlAction::ChooseFolder:
            return controller.chooseRecordFolder(chooseFolder());
        case ControlAction::PanelToggle:
            return controller.togglePanel();
        case ControlAction::PasswordChange:
            return controller.changePanelPassword();
    }
}

void MainWindow::takeEdits() {
    bindings_->takeTemplate();
}

// Closed, the parameter panel lies outside the window, and its controls are
// out of reach of the keyboard and the mouse; the machine's values still
// reach them.
void MainWindow::showPanelOpen() {
    const bool open = panel_.model().flag(FlagValue::PanelOpen);
    for (QWidget* widget : panelControls_) {
        widget->setEnabled(open);
    }
    resizeOuter(open ? fullRect_.width() : narrowWidth(fullRect_), fullRect_.height());
}

// The link's state, then what else keeps records from going where they should.
void MainWindow::showStatusLine() {
    LinkStatusLine line = panel_.model().linkStatus();
    for (const std::string* more :
         {&panel_.model().settingsProblem(), &panel_.model().journalProblem(),
          &panel_.model().plantStatus()}) {
        if (!more->empty()) {
            line.text += QStringLiteral(" · ") + decodeUtf8(*more);
        }
    }
    statusBar_->showLine(line);
}

void MainWindow::showMessage(const QString& text) {
    if (env_.messageBox) {
        env_.messageBox(text);
        return;
    }
    QMessageBox::warning(this, QString::fromLatin1(kAppName), text, QMessageBox::Ok);
}

std::string MainWindow::chooseFolder() {
    if (env_.selectFolder) {
        return env_.selectFolder();
    }
    const QString folder = QFileDialog::getExistingDirectory(this, tr("please select you file"));
    return folder.isEmpty() ? std::string() : encodeUtf8(folder) + "/";
}

// A hidden window gets its resize events only once shown: the status line is
// also placed whenever the window is given a size.
void MainWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    placeStatusLine();
}

void MainWindow::placeStatusLine() {
    if (sideWindows_ == nullptr) {
        return;  // still being made
    }
    const int lineHeight = dialogUnits(font()).y(kStatusLineDlu);
    statusBar_->setGeometry(0, height() - lineHeight, width(), lineHeight);
    QWidget* buttons = sideWindows_->buttons();
    const int buttonsWidth = buttons->sizeHint().width();
    buttons->setGeometry(width() - buttonsWidth, 0, buttonsWidth, lineHeight);
    statusBar_->setRightRoom(buttonsWidth);
}

QSize MainWindow::frameExtra() const {
    return frameGeometry().size() - size();
}

void MainWindow::resizeOuter(int outerWidth, int outerHeight) {
    const QSize extra = frameExtra();
    setFixedSize(outerWidth - extra.width(), outerHeight - extra.height());
    placeStatusLine();
}

void MainWindow::takeFullRect() {
    const QRect frame = frameGeometry();
    const QSize extra = frameExtra();
    fullRect_ =
        WindowRect{frame.left(), frame.top(), frame.left() + fullClient_.width() + extra.width(),
                   frame.top() + fullClient_.height() + extra.height()};
    knownFrameExtra_ = extra;
}

// The window system adds its frame only once the window is shown; the
// full-size rectangle and the width shown then follow the real frame.
void MainWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    followFrame();
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    if (isVisible() && event->oldPos() != event->pos()) {
        sideWindows_->follow(event->pos() - event->oldPos());
    }
    followFrame();
}

void MainWindow::followFrame() {
    if (frameExtra() == knownFrameExtra_) {
        return;
    }
    takeFullRect();
    showPanelOpen();
}

void MainWindow::accept() {}

// Enter clicks a focused push button and otherwise does nothing; it never
// closes the window.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Whatever was typed last is kept, then every thread stops.
void MainWindow::finish() {
    takeEdits();
    panel_.stop();
}

void MainWindow::reject() {
    finish();
    QDialog::reject();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    finish();
    QDialog::closeEvent(event);
}

void MainWindow::contextMenuEvent(QContextMenuEvent* event) {
    QMenu menu(this);
    menu.addAction(tr(kAboutMenuText), this, [this] {
        AboutBox about(appIcon_, this);
        about.exec();
    });
    menu.exec(event->globalPos());
}
