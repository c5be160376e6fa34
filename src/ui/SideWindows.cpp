#include "ui/SideWindows.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShortcut>
#include <QToolButton>

#include "panel/PanelModel.h"
#include "text/TextConv.h"
#include "ui/label/LabelPreview.h"

namespace {

QToolButton* sideButton(const QString& text, const QString& name, const QKeySequence& keys,
                        QWidget* parent) {
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setObjectName(name);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setToolTip(
        QStringLiteral("%1 (%2)").arg(text, keys.toString(QKeySequence::NativeText)));
    return button;
}

}  // namespace

SideWindows::SideWindows(QWidget* mainWindow, PanelModel& model, QPlainTextEdit* templateEdit)
    : QObject(mainWindow),
      mainWindow_(mainWindow),
      model_(model),
      buttons_(new QWidget(mainWindow)),
      preview_(new LabelPreview(mainWindow)) {
    auto* row = new QHBoxLayout(buttons_);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    const QKeySequence previewKeys(Qt::CTRL | Qt::Key_L);
    preview_->setWindowFlag(Qt::Tool);
    preview_->setWindowTitle(tr("Label preview"));
    preview_->setObjectName(QStringLiteral("labelPreview"));
    preview_->followEdit(templateEdit);
    auto* label =
        sideButton(tr("Label"), QStringLiteral("labelPreviewButton"), previewKeys, buttons_);
    row->addWidget(label);
    connect(label, &QToolButton::clicked, this, [this] { showLabelPreview(); });
    connect(new QShortcut(previewKeys, mainWindow), &QShortcut::activated, this,
            [this] { showLabelPreview(); });
    addTemplateMenu(templateEdit);

    // The sample values are a setting of the panel.
    preview_->setSampleSettings(decodeUtf8(model_.text(TextValue::LabelSamples)));
    model_.listen([this](const ValueId& value, Origin origin) {
        if (value == ValueId{TextValue::LabelSamples} && origin != Origin::Operator) {
            preview_->setSampleSettings(decodeUtf8(model_.text(TextValue::LabelSamples)));
        }
    });
    connect(preview_, &LabelPreview::sampleSettingsChanged, this, [this](const QString& text) {
        if (encodeUtf8(text) != model_.text(TextValue::LabelSamples)) {
            model_.setText(TextValue::LabelSamples, encodeUtf8(text), Origin::Operator);
        }
    });
    buttons_->adjustSize();
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
