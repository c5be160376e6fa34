#pragma once

#include <QDialog>
#include <QIcon>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/ControlTable.h"

class ControlBindings;
class SideWindows;
class LinkStatusBar;
class Panel;
class QPlainTextEdit;

// What the window takes from its surroundings; empty: the real dialogs.
struct WindowEnvironment {
    std::function<void(const QString&)> messageBox;  // a failure told to the operator
    std::function<std::string()> selectFolder;       // the record folder chooser
};

// The outer rectangle of the window in screen pixels, frame included.
struct WindowRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

// Outer width of the window with the parameter panel hidden: half the full
// width less 35 pixels, truncated toward zero.
inline int narrowWidth(const WindowRect& full) {
    return full.width() / 2 - 35;
}

// The panel's one window: its controls made from the control table, each
// bound to its panel value; the operator's actions go to the controller.
class MainWindow : public QDialog {
    Q_OBJECT

  public:
    explicit MainWindow(Panel& panel, WindowEnvironment environment = {},
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    const WindowRect& fullRect() const { return fullRect_; }
    QPlainTextEdit* templateEdit() const { return templateEdit_; }
    SideWindows& sideWindows() const { return *sideWindows_; }
    // The edits' latest text into the model: the template waits for a pause
    // in typing.
    void takeEdits();

  protected:
    void accept() override;  // Enter never closes the window
    void reject() override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void createControls();
    void act(ControlAction action);
    void showPanelOpen();
    void showStatusLine();
    void showMessage(const QString& text);
    std::string chooseFolder();
    void placeStatusLine();
    void resizeOuter(int outerWidth, int outerHeight);
    QSize frameExtra() const;
    void takeFullRect();
    void followFrame();
    void finish();

    Panel& panel_;
    WindowEnvironment env_;
    QIcon appIcon_;
    std::unique_ptr<ControlBindings> bindings_;
    QPlainTextEdit* templateEdit_ = nullptr;
    LinkStatusBar* statusBar_ = nullptr;
    SideWindows* sideWindows_ = nullptr;
    // The controls of the parameter panel, out of reach while it is closed.
    std::vector<QWidget*> panelControls_;
    QSize fullClient_;
    QSize knownFrameExtra_;
    WindowRect fullRect_{};
};
