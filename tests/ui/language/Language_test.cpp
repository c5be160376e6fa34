// The window's texts in the desktop's language. ctest runs this program three
// times: with LANG=en_US.UTF-8 the English translation shows; with
// LANG=zh_CN.UTF-8 and with LANG unset the texts stay exactly as written.
// TOLVANE_EXPECTED_LANGUAGE ("en" or "source") tells the run which to expect.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

#include "link/Link.h"
#include "support/PanelHarness.h"
#include "support/Pty.h"
#include "ui/AboutBox.h"
#include "ui/Translations.h"

// Failure messages show the texts, not their UTF-16 code units.
static void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The program's own start-up step, once the application object exists.
class DesktopLanguage : public testing::Environment {
    void SetUp() override { installTranslations(*QCoreApplication::instance()); }
};
testing::Environment* const desktopLanguage =
    testing::AddGlobalTestEnvironment(new DesktopLanguage);

struct Text {
    const char* source;
    const char* english;
};

class Language : public testing::Test {
  protected:
    void SetUp() override {
        expected_ = qEnvironmentVariable("TOLVANE_EXPECTED_LANGUAGE");
        if (expected_ != "en" && expected_ != "source") {
            GTEST_SKIP() << "run through ctest, which sets TOLVANE_EXPECTED_LANGUAGE";
        }
    }

    QString shown(const Text& text) const {
        return QString::fromUtf8(expected_ == "en" ? text.english : text.source);
    }

    // Runs `action`, which opens a modal window or a menu, and reads `read`
    // from that window once it is up; `read` also closes it.
    static QString readWhileOpen(const std::function<void()>& action,
                                 const std::function<QString(QWidget*)>& read) {
        QString text;
        QTimer::singleShot(0, [&] {
            QWidget* open = QApplication::activePopupWidget() != nullptr
                                ? QApplication::activePopupWidget()
                                : QApplication::activeModalWidget();
            text = open != nullptr ? read(open) : QStringLiteral("<no window>");
        });
        action();
        return text;
    }

    QString expected_;
};

TEST_F(Language, SerialPortMessagesNameThePortWhereTheTranslationCan) {
    PanelHarness panel;
    Pty com7;
    com7.linkAs(panel.portsDir(), "COM7");
    panel.open();
    const int entry = static_cast<QComboBox*>(panel.control(ctl::kPort))->findText("COM7");
    ASSERT_GT(entry, 0);

    const int holder = open(com7.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    panel.pick(ctl::kPort, entry);
    close(holder);
    panel.pick(ctl::kPort, entry);
    ASSERT_TRUE(panel.link().serialOpen);
    com7.unplug();
    panel.click(ctl::kPrint);

    EXPECT_EQ(panel.messages,
              (std::vector<QString>{
                  shown({"打开COM失败!", "Could not open COM7."}),
                  shown({"写串口失败，请选择正确串口号!",
                         "Could not write to the serial port COM7. Please choose the right port."}),
              }));
}

TEST_F(Language, RefusedWifiAndTemplateMessages) {
    PanelHarness panel;
    panel.open();
    panel.showParameterPanel();
    panel.type(ctl::kSsid, "Lab,2F");
    panel.click(ctl::kWifiSet);
    panel.type(ctl::kTemplate, QString(65496, 'A'));
    panel.click(ctl::kPrinterSet);

    const char* tooLong =
        "The label template is too long to send over the network (65508 bytes, at most 65507).";
    EXPECT_EQ(panel.messages,
              (std::vector<QString>{
                  shown({"WIFI名称或密码含有逗号或空字符，未发送!",
                         "The Wi-Fi name or password contains a comma or a NUL character. "
                         "Nothing was sent."}),
                  shown({tooLong, tooLong}),
              }));
}

TEST_F(Language, AboutBoxAndItsMenuItem) {
    PanelHarness panel;
    MainWindow& dlg = panel.open();
    AboutBox about(QIcon(), &dlg);
    EXPECT_EQ(about.windowTitle(), shown({"关于 TolvaneApp", "About TolvaneApp"}));
    EXPECT_EQ(about.findChild<QLabel*>("name")->text(),
              shown({"TolvaneApp，1.0 版", "TolvaneApp, version 1.0"}));
    EXPECT_EQ(about.findChild<QPushButton*>("1")->text(), shown({"确定", "OK"}));

    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(5, 5), dlg.mapToGlobal(QPoint(5, 5)));
    const QString item = readWhileOpen([&] { QApplication::sendEvent(&dlg, &click); },
                                       [](QWidget* menu) {
                                           const QString text = menu->actions().value(0)->text();
                                           menu->close();
                                           return text;
                                       });
    EXPECT_EQ(item, shown({"关于 TolvaneApp(&A)...", "&About TolvaneApp..."}));
}

TEST_F(Language, FolderChooserTitle) {
    PanelHarness panel;
    panel.realFolderChooser = true;
    panel.open();
    const QString title = readWhileOpen([&] { panel.click(ctl::kBrowse); },
                                        [](QWidget* chooser) {
                                            const QString text = chooser->windowTitle();
                                            static_cast<QDialog*>(chooser)->reject();
                                            return text;
                                        });
    EXPECT_EQ(title, shown({"please select you file", "Choose the folder for the record files"}));
}

// Captions, list entries and commands are the machine's and the operator's
// words on the panel: the same in every language.
TEST_F(Language, CaptionsListsAndCommandsNeverChange) {
    PanelHarness panel;
    MainWindow& dlg = panel.open();
    for (const ControlRow& entry : controlTable()) {
        if (entry.id != 0 && qobject_cast<QAbstractButton*>(panel.control(entry.id)) != nullptr) {
            EXPECT_EQ(panel.text(entry.id), QString::fromLatin1(entry.caption)) << entry.id;
        }
    }
    QStringList labels;
    for (const QLabel* label : dlg.findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains("FUNCTION:"));
    EXPECT_TRUE(labels.contains("PARAMENT SET:"));
    EXPECT_EQ(panel.entryText(ctl::kFunction, 1), "pocket checking");
    EXPECT_EQ(panel.entryText(ctl::kRecordFormat, 1), "xml");

    testing::internal::CaptureStdout();
    panel.click(ctl::kPrint);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_key:print\r\n");
}

}  // namespace
