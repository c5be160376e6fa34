// Start-up probe: `startup_probe panel|bare <start ns> <result file>` builds
// either the panel's real window or a bare dialog with the same kinds and
// number of widgets, shows it, and once the window has been painted writes
// "<ms since start> <VmRSS KiB>" to the result file and quits. <start ns> is
// the launcher's CLOCK_MONOTONIC reading just before it started the process.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/AppInfo.h"
#include "app/ControlTable.h"
#include "app/TolvaneAppDlg.h"
#include "common/ProcStats.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"

namespace {

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

QWidget* plainControl(const ControlSpec& entry, QWidget* parent) {
    switch (entry.kind) {
        case ControlKind::Label:
            return new QLabel(QString::fromLatin1(entry.caption), parent);
        case ControlKind::ListCombo:
            return new QComboBox(parent);
        case ControlKind::EditCombo: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            return combo;
        }
        case ControlKind::Edit:
        case ControlKind::ClockEdit:
        case ControlKind::DigitsEdit:
            return new QLineEdit(parent);
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
        case ControlKind::DataEdit:
        case ControlKind::TemplateEdit:
            return new QPlainTextEdit(parent);
        case ControlKind::Button:
            return new QPushButton(QString::fromLatin1(entry.caption), parent);
        case ControlKind::CheckBox:
            return new QCheckBox(QString::fromLatin1(entry.caption), parent);
    }
    return nullptr;
}

// The same widgets at the same places, and nothing else.
std::unique_ptr<QDialog> bareDialog() {
    auto dialog = std::make_unique<QDialog>();
    QFont font = dialog->font();
    font.setPointSize(9);
    dialog->setFont(font);
    const QFontMetrics metrics(font);
    const int baseX = (metrics.horizontalAdvance(
                           QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) +
                       26) /
                      52;
    const int baseY = metrics.height();
    for (const ControlSpec& entry : controlTable()) {
        QWidget* widget = plainControl(entry, dialog.get());
        widget->setGeometry(entry.x * baseX / 4, entry.y * baseY / 8, entry.width * baseX / 4,
                            entry.height * baseY / 8);
    }
    dialog->setFixedSize(kWindowWidthDlu * baseX / 4, kWindowHeightDlu * baseY / 8);
    return dialog;
}

// Reports once the window has been painted for the first time.
class FirstPaint : public QObject {
  public:
    FirstPaint(double startMs, std::string resultFile)
        : startMs_(startMs), resultFile_(std::move(resultFile)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted_) {
            painted_ = true;
            // Queued: runs once this paint, children included, is done.
            QTimer::singleShot(0, this, [this] { finish(); });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    void finish() {
        const double elapsed = monotonicMs() - startMs_;
        if (std::FILE* out = std::fopen(resultFile_.c_str(), "w")) {
            std::fprintf(out, "%.3f %ld\n", elapsed, residentKb(::getpid()));
            std::fclose(out);
        }
        QCoreApplication::quit();
    }

    double startMs_;
    std::string resultFile_;
    bool painted_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s panel|bare <start ns> <result file>\n", argv[0]);
        return 2;
    }
    const bool panel = std::strcmp(argv[1], "panel") == 0;
    const double startMs = std::stod(argv[2]) / 1e6;
    FirstPaint probe(startMs, argv[3]);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppName));
    std::unique_ptr<DiskWriter> writer;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<QDialog> dialog;
    if (panel) {
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/TolvaneApp.svg")));
        writer = std::make_unique<DiskWriter>();
        store = std::make_unique<SettingsStore>(SettingsStore::defaultPath(), writer.get());
        dialog = std::make_unique<CTolvaneAppDlg>(*store);
    } else {
        dialog = bareDialog();
    }
    dialog->installEventFilter(&probe);
    dialog->show();
    const int status = QApplication::exec();
    dialog.reset();
    return status;
}
