// Start-up probe: `startup_probe panel|bare <start ns> <result file>` builds
// either the panel's real window or a bare dialog with the same kinds and
// number of widgets, shows it, and once the window has been painted writes
// "<ms since start> <VmRSS KiB>" to the result file and quits. <start ns> is
// the launcher's CLOCK_MONOTONIC reading just before it started the process.
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QIcon>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/ProcStats.h"
#include "panel/Panel.h"
#include "settings/SettingsStore.h"
#include "storage/DiskWriter.h"
#include "ui/AppInfo.h"
#include "ui/ControlFactory.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"

namespace {

double monotonicMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// The same kinds of widgets at the same places, plain, and nothing else.
std::unique_ptr<QDialog> bareDialog() {
    auto dialog = std::make_unique<QDialog>();
    QFont font = dialog->font();
    font.setPointSize(9);
    dialog->setFont(font);
    const DialogUnits units = dialogUnits(font);
    for (const ControlRow& entry : controlTable()) {
        QWidget* widget = newControlWidget(entry, dialog.get());
        widget->setGeometry(units.x(entry.x), units.y(entry.y), units.x(entry.width),
                            units.y(entry.height));
    }
    dialog->setFixedSize(units.x(kWindowWidthDlu), units.y(kWindowHeightDlu));
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
    std::unique_ptr<Panel> panelState;
    std::unique_ptr<QDialog> dialog;
    if (panel) {
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/TolvaneApp.png")));
        installTranslations(app);
        writer = std::make_unique<DiskWriter>();
        store = std::make_unique<SettingsStore>(SettingsStore::defaultPath(), writer.get());
        panelState = std::make_unique<Panel>(*store, *writer);
        dialog = std::make_unique<MainWindow>(*panelState);
        panelState->start();
    } else {
        dialog = bareDialog();
    }
    dialog->installEventFilter(&probe);
    dialog->show();
    const int status = QApplication::exec();
    dialog.reset();
    return status;
}
