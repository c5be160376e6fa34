// The "Plant link" dialog offscreen: its fields for a configuration, what it
// refuses, and "Test connection" against a real broker without holding up the
// window.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>

#include <sys/resource.h>

#include <chrono>

#include "support/MisbehavingBroker.h"
#include "support/MosquittoBroker.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"
#include "support/Wait.h"
#include "ui/plant/PlantLinkDialog.h"

namespace {

using namespace std::chrono_literals;

template <class Widget>
Widget* field(PlantLinkDialog& dialog, const char* name) {
    auto* widget = dialog.findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

QPushButton* okButton(PlantLinkDialog& dialog) {
    return dialog.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok);
}

PlantConfig fullConfig() {
    PlantConfig config;
    config.host = "broker.local";
    config.port = 8884;
    config.tls = true;
    config.caFile = "/etc/tolvane/ca.pem";
    config.certFile = "/etc/tolvane/station.crt";
    config.keyFile = "/etc/tolvane/station.key";
    config.user = "line3";
    config.password = " pass word ";
    config.station = "line3-a";
    config.prefix = "plant7";
    return config;
}

TEST(PlantLinkDialog, ShowsTheConfigurationAndGivesItBack) {
    PlantLinkDialog dialog(fullConfig());
    EXPECT_EQ(field<QLineEdit>(dialog, "host")->text(), "broker.local");
    EXPECT_EQ(field<QSpinBox>(dialog, "port")->value(), 8884);
    EXPECT_TRUE(field<QCheckBox>(dialog, "tls")->isChecked());
    EXPECT_EQ(field<QLineEdit>(dialog, "password")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(field<QLabel>(dialog, "topics")->text(),
              "plant7/line3-a/record\nplant7/line3-a/state");
    EXPECT_TRUE(okButton(dialog)->isEnabled());
    EXPECT_EQ(dialog.config(), fullConfig());
}

TEST(PlantLinkDialog, EditsBecomeTheConfiguration) {
    PlantLinkDialog dialog(PlantConfig{});
    EXPECT_FALSE(field<QPushButton>(dialog, "testConnection")->isEnabled());
    EXPECT_FALSE(field<QWidget>(dialog, "caFile")->isEnabled());
    QTest::keyClicks(field<QLineEdit>(dialog, "host"), " broker.local ");
    QTest::keyClicks(field<QLineEdit>(dialog, "station"), "line3-a");
    // TLS brings its port and its files; off again, the plain port.
    field<QCheckBox>(dialog, "tls")->setChecked(true);
    EXPECT_EQ(field<QSpinBox>(dialog, "port")->value(), 8883);
    EXPECT_TRUE(field<QWidget>(dialog, "caFile")->isEnabled());
    QTest::keyClicks(field<QLineEdit>(dialog, "caFile"), "/etc/ca.pem");
    const PlantConfig withTls = dialog.config();
    EXPECT_EQ(withTls.host, "broker.local");
    EXPECT_EQ(withTls.port, 8883);
    EXPECT_EQ(withTls.caFile, "/etc/ca.pem");
    EXPECT_EQ(withTls.prefix, "tolvane");
    field<QCheckBox>(dialog, "tls")->setChecked(false);
    EXPECT_EQ(field<QSpinBox>(dialog, "port")->value(), 1883);
    EXPECT_EQ(dialog.config().caFile, "");  // no TLS, no certificate files
    // A port of the operator's own stays when TLS changes.
    field<QSpinBox>(dialog, "port")->setValue(11883);
    field<QCheckBox>(dialog, "tls")->setChecked(true);
    EXPECT_EQ(field<QSpinBox>(dialog, "port")->value(), 11883);
    EXPECT_TRUE(field<QPushButton>(dialog, "testConnection")->isEnabled());
}

TEST(PlantLinkDialog, AConfigurationThatCannotWorkIsNotAccepted) {
    PlantConfig config = fullConfig();
    config.user.clear();
    PlantLinkDialog dialog(config);
    EXPECT_FALSE(okButton(dialog)->isEnabled());
    EXPECT_FALSE(field<QPushButton>(dialog, "testConnection")->isEnabled());
    EXPECT_EQ(field<QLabel>(dialog, "problem")->text(), "a password needs a user name");
    QTest::keyClicks(field<QLineEdit>(dialog, "user"), "line3");
    EXPECT_TRUE(okButton(dialog)->isEnabled());
    EXPECT_TRUE(field<QLabel>(dialog, "problem")->text().isEmpty());
    field<QLineEdit>(dialog, "station")->setText("line/3");
    EXPECT_FALSE(okButton(dialog)->isEnabled());
}

// A broker of the test's own, the dialog configured for it, and whether its
// last test has finished.
struct DialogWithBroker {
    static PlantConfig configFor(std::uint16_t port) {
        PlantConfig config;
        config.host = "127.0.0.1";
        config.port = port;
        return config;
    }
    DialogWithBroker() {
        QObject::connect(&dialog, &PlantLinkDialog::testFinished, [this] { finished = true; });
    }

    TempDir folder;
    MosquittoBroker broker{folder.path()};
    PlantLinkDialog dialog{configFor(broker.port())};
    bool finished = false;
};

TEST(PlantLinkDialog, TestConnectionRunsBesideTheWindow) {
    DialogWithBroker rig;
    PlantLinkDialog& dialog = rig.dialog;
    bool& finished = rig.finished;

    QTest::mouseClick(field<QPushButton>(dialog, "testConnection"), Qt::LeftButton);
    EXPECT_EQ(field<QLabel>(dialog, "testResult")->text(), "Testing…");
    EXPECT_FALSE(field<QPushButton>(dialog, "testConnection")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return finished; }, 10'000));
    EXPECT_EQ(field<QLabel>(dialog, "testResult")->text(),
              "Connected: the broker accepted the log-in.");
    EXPECT_TRUE(field<QPushButton>(dialog, "testConnection")->isEnabled());

    const std::uint16_t closed = freeTcpPort();
    field<QSpinBox>(dialog, "port")->setValue(closed);
    finished = false;
    QTest::mouseClick(field<QPushButton>(dialog, "testConnection"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return finished; }, 10'000));
    EXPECT_EQ(field<QLabel>(dialog, "testResult")->text(),
              "Cannot reach 127.0.0.1:" + QString::number(closed) + " (connection refused)");
}

// With no descriptor left the test cannot start: it says so, and the next one runs.
TEST(PlantLinkDialog, ATestThatCannotStartSaysWhy) {
    if (kUnderSanitizer) {
        GTEST_SKIP() << "a sanitizer's own checks need descriptors too";
    }
    DialogWithBroker rig;
    PlantLinkDialog& dialog = rig.dialog;
    bool& finished = rig.finished;

    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
    rlimit none = saved;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
    QTest::mouseClick(field<QPushButton>(dialog, "testConnection"), Qt::LeftButton);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
    EXPECT_TRUE(finished);
    EXPECT_TRUE(field<QLabel>(dialog, "testResult")->text().startsWith("Cannot test: "))
        << field<QLabel>(dialog, "testResult")->text().toStdString();
    EXPECT_TRUE(field<QPushButton>(dialog, "testConnection")->isEnabled());

    finished = false;
    QTest::mouseClick(field<QPushButton>(dialog, "testConnection"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return finished; }, 10'000));
    EXPECT_EQ(field<QLabel>(dialog, "testResult")->text(),
              "Connected: the broker accepted the log-in.");
}

TEST(PlantLinkDialog, ClosingWhileATestWaitsForTheBrokerEndsTheTest) {
    MisbehavingBroker silent(MisbehavingBroker::Manner::Silent);
    PlantConfig config;
    config.host = "127.0.0.1";
    config.port = silent.port();
    auto dialog = std::make_unique<PlantLinkDialog>(config);
    QTest::mouseClick(field<QPushButton>(*dialog, "testConnection"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return !silent.accepted().empty(); }, 5'000));
    const auto closing = std::chrono::steady_clock::now();
    dialog.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - closing, 1s);
    settle(50);
}

}  // namespace
