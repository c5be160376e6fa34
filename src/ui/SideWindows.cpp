#include "ui/SideWindows.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include "panel/Panel.h"
#include "panel/PanelModel.h"
#include "panel/PanelValues.h"
#include "text/TextConv.h"
#include "ui/label/LabelPreview.h"
#include "ui/plant/PlantLinkDialog.h"
#include "ui/records/RecordsWindow.h"

SideWindows::SideWindows(QWidget* mainWindow, Panel& panel, QPlainTextEdit* templateEdit)
    : QObject(mainWindow),
      mainWindow_(mainWindow),
      panel_(panel),
      model_(panel.model()),
      buttons_(new QWidget(mainWindow)),
      preview_(new LabelPreview(mainWindow)) {
    auto* row = new QHBoxLayout(buttons_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    preview_->setWindowFlag(Qt::Tool);
    preview_->setWindowTitle(tr("Label preview"));
    preview_->setObjectName(QStringLiteral("labelPreview"));
    preview_->followEdit(templateEdit);
    addButton(tr("Label"), QStringLiteral("labelPreviewButton"), QKeySequence(Qt::CTRL | Qt::Key_L),
              &SideWindows::showLabelPreview);
    addTemplateMenu(templateEdit);
    if (!panel_.journalPath().empty()) {
        addButton(tr("Records"), QStringLiteral("recordsButton"),
                  QKeySequence(Qt::CTRL | Qt::Key_R), &SideWindows::showRecords);
        addButton(tr("Plant link"), QStringLiteral("plantLinkButton"),
                  QKeySequence(Qt::CTRL | Qt::Key_M), &SideWindows::showPlantLink);
    }

    // The sample values are a setting of the panel.
    preview_->setSampleSettings(decodeUtf8(model_.text(TextValue::LabelSamples)));
    model_.listen([this](const ValueId& value, Origin origin) {
        if (value == ValueId{TextValue::LabelSamples} && origin != Origin::Operator) {
            preview_->setSampleSettings(decodeUtf8(model_.text(TextValue::LabelSamples)));
        }
        if (records_ == nullptr) {
            return;
        }
        if (value == ValueId{OtherValue::Records}) {
            records_->journalChanged();
        } else if (value == ValueId{OtherValue::JournalKept}) {
            const std::string& problem = model_.journalProblem();
            records_->showJournalStatus(problem.empty(), decodeUtf8(problem));
        } else if (value == ValueId{OtherValue::WriteAgain}) {
            const WriteAgainOutcome& outcome = model_.writeAgainOutcome();
            records_->showWriteAgainOutcome(outcome.written, outcome.failed,
                                            decodeUtf8(outcome.reason));
        }
    });
    connect(preview_, &LabelPreview::sampleSettingsChanged, this, [this](const QString& text) {
        if (encodeUtf8(text) != model_.text(TextValue::LabelSamples)) {
            model_.setText(TextValue::LabelSamples, encodeUtf8(text), Origin::Operator);
        }
    });
    buttons_->adjustSize();
}

void SideWindows::addButton(const QString& text, const QString& name, const QKeySequence& keys,
                            void (SideWindows::*open)()) {
    auto* button = new QToolButton(buttons_);
    button->setText(text);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(
        QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText)));
    buttons_->layout()->addWidget(button);
    connect(button, &QToolButton::clicked, this, [this, open] { (this->*open)(); });
    connect(new QShortcut(keys, mainWindow_), &QShortcut::activated, this,
            [this, open] { (this->*open)(); });
}

// The edit's own menu, with the preview at its end.
void SideWindows::addTemplateMenu(QPlainTextEdit* templateEdit) {
    templateEdit->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(templateEdit, &QWidget::customContextMenuRequested, this,
            [this, templateEdit](const QPoint& at) {
                std::unique_ptr<QMenu> menu(templateEdit->createStandardContextMenu());
                menu->addSeparator();
                QAction* preview =
                    menu->addAction(tr("Label preview"), this, [this] { showLabelPreview(); });
                preview->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
                menu->exec(templateEdit->mapToGlobal(at));
            });
}

void SideWindows::showLabelPreview() {
    preview_->redrawNow();
    showBeside(preview_);
}

// The journal's records, read through the window's own connection.
void SideWindows::showRecords() {
    if (records_ == nullptr) {
        RecordsWindowSetup setup;
        setup.journalPath = panel_.journalPath();
        setup.writeAgain = [this](std::vector<std::int64_t> ids) {
            panel_.controller().writeAgain(std::move(ids));
        };
        records_ = new RecordsWindow(std::move(setup), mainWindow_);
        records_->setWindowFlag(Qt::Window);
        records_->setObjectName(QStringLiteral("records"));
        const std::string& problem = model_.journalProblem();
        records_->showJournalStatus(problem.empty(), decodeUtf8(problem));
    }
    showBeside(records_);
}

// A change takes effect at once, without a restart.
void SideWindows::showPlantLink() {
    PlantLinkDialog dialog(panel_.plantConfig(), mainWindow_);
    dialog.setObjectName(QStringLiteral("plantLink"));
    if (dialog.exec() == QDialog::Accepted) {
        panel_.setPlantConfig(dialog.config());
    }
}

void SideWindows::follow(QPoint by) {
    for (QWidget* window : {static_cast<QWidget*>(preview_), static_cast<QWidget*>(records_)}) {
        if (window != nullptr && window->isVisible()) {
            window->move(window->pos() + by);
        }
    }
}

// First shown to the right of the main window where the screen has room,
// else over it; afterwards where the operator left it.
void SideWindows::showBeside(QWidget* window) {
    if (!window->isVisible() && !window->property("placed").toBool()) {
        window->resize(window->sizeHint().expandedTo(QSize(480, 420)));
        const QRect main = mainWindow_->frameGeometry();
        QPoint at(main.right() + 8, main.top());
        if (const QScreen* screen = mainWindow_->screen()) {
            const QRect room = screen->availableGeometry();
            if (at.x() + window->width() > room.right()) {
                at.setX(std::max(room.left(), room.right() - window->width()));
            }
        }
        window->move(at);
        window->setProperty("placed", true);
    }
    window->show();
    window->raise();
    window->activateWindow();
}
