#include "ui/label/LabelPreview.h"

#include <QAction>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QSplitter>
#include <QTableView>
#include <QTextBlock>
#include <QToolButton>
#include <QVBoxLayout>

#include "label/SampleTokens.h"
#include "ui/label/FindingListModel.h"
#include "ui/label/LabelCanvas.h"
#include "ui/label/LabelRenderThread.h"
#include "ui/label/SampleTableModel.h"

namespace {

std::string utf8(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString millimetres(int dots) {
    return QString::number(dots * 25.4 / label::kDotsPerInch, 'f', 1);
}

}  // namespace

LabelPreview::LabelPreview(QWidget* parent)
    : QWidget(parent),
      sizeLabel_(new QLabel(this)),
      zoomLabel_(new QLabel(this)),
      zoomOut_(new QToolButton(this)),
      zoomIn_(new QToolButton(this)),
      scroll_(new QScrollArea(this)),
      canvas_(new LabelCanvas),
      findingView_(new QListView(this)),
      findings_(new FindingListModel(this)),
      sampleView_(new QTableView(this)),
      samples_(new SampleTableModel(this)),
      status_(new QLabel(this)) {
    setWindowTitle(tr("Label preview"));

    // The shortcuts act while the preview has the focus, also where it sits
    // inside another window.
    const auto action = [this](const QString& text, QKeySequence::StandardKey key) {
        auto* action = new QAction(text, this);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        addAction(action);
        return action;
    };
    QAction* zoomOut = action(QStringLiteral("\u2212"), QKeySequence::ZoomOut);
    zoomOut->setToolTip(tr("Zoom out"));
    QAction* zoomIn = action(QStringLiteral("+"), QKeySequence::ZoomIn);
    zoomIn->setToolTip(tr("Zoom in"));
    QAction* saveAction = action(tr("Save PNG\u2026"), QKeySequence::Save);
    zoomOut_->setDefaultAction(zoomOut);
    zoomIn_->setDefaultAction(zoomIn);
    auto* save = new QToolButton(this);
    save->setDefaultAction(saveAction);
    connect(zoomOut, &QAction::triggered, this, [this] { setZoom(zoom_ - 1); });
    connect(zoomIn, &QAction::triggered, this, [this] { setZoom(zoom_ + 1); });
    connect(saveAction, &QAction::triggered, this, &LabelPreview::chooseFileAndSave);

    auto* bar = new QHBoxLayout;
    bar->addWidget(sizeLabel_, 1);
    bar->addWidget(zoomOut_);
    bar->addWidget(zoomLabel_);
    bar->addWidget(zoomIn_);
    bar->addWidget(save);

    scroll_->setWidget(canvas_);
    scroll_->setAlignment(Qt::AlignCenter);
    scroll_->setBackgroundRole(QPalette::Mid);

    findingView_->setModel(findings_);
    findingView_->setUniformItemSizes(true);  // thousands of findings lay out in no time
    findingView_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    findingView_->setWordWrap(false);
    connect(findingView_, &QListView::activated, this, &LabelPreview::activateFinding);
    connect(findingView_, &QListView::clicked, this, &LabelPreview::activateFinding);

    sampleView_->setModel(samples_);
    sampleView_->horizontalHeader()->setStretchLastSection(true);
    sampleView_->verticalHeader()->hide();
    sampleView_->setEditTriggers(QAbstractItemView::AllEditTriggers);
    connect(samples_, &SampleTableModel::samplesEdited, this, [this] {
        Q_EMIT sampleSettingsChanged(sampleSettings());
        requestRender();
    });

    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(findingView_);
    lower->addWidget(sampleView_);
    lower->setStretchFactor(0, 3);
    lower->setStretchFactor(1, 2);
    auto* upper = new QSplitter(Qt::Vertical, this);
    upper->addWidget(scroll_);
    upper->addWidget(lower);
    upper->setStretchFactor(0, 3);
    upper->setStretchFactor(1, 1);
    // The picture first: three quarters of the height to begin with.
    upper->setSizes({3000, 1000});
    lower->setSizes({3000, 2000});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(upper, 1);
    layout->addWidget(status_);

    typingPause_.setSingleShot(true);
    typingPause_.setInterval(kTypingPauseMs);
    connect(&typingPause_, &QTimer::timeout, this, &LabelPreview::requestRender);

    // The thread hands its results to the window's thread; results still
    // queued when the preview goes are dropped with it.
    renderer_ = std::make_unique<LabelRenderThread>(
        [this](LabelRenderThread::RenderResult result) {
            QMetaObject::invokeMethod(
                this,
                [this, result = std::move(result)] {
                    showResult(result.serial, result.label, result.picture, result.scale);
                },
                Qt::QueuedConnection);
        },
        [this](LabelRenderThread::SaveResult result) {
            QMetaObject::invokeMethod(
                this,
                [this, result = std::move(result)] {
                    showSaved(result.path, result.saved, result.error);
                },
                Qt::QueuedConnection);
        });
    updateZoomControls();
}

LabelPreview::~LabelPreview() {
    renderer_.reset();
}

void LabelPreview::setTemplateText(const QString& text) {
    text_ = text;
    textFromEdit_ = false;
    typingPause_.start();
}

void LabelPreview::followEdit(QPlainTextEdit* edit) {
    if (edit_) {
        disconnect(edit_, nullptr, this, nullptr);
        disconnect(this, &LabelPreview::lineActivated, edit_, nullptr);
    }
    edit_ = edit;
    if (!edit) {
        textFromEdit_ = false;
        return;
    }
    // The edit's text is taken only when typing pauses, not at each key.
    connect(edit, &QPlainTextEdit::textChanged, this, [this] {
        textFromEdit_ = true;
        typingPause_.start();
    });
    connect(this, &LabelPreview::lineActivated, edit,
            [edit](int line) { putCursorOnLine(edit, line); });
    textFromEdit_ = true;
    redrawNow();
}

void LabelPreview::redrawNow() {
    typingPause_.stop();
    requestRender();
}

void LabelPreview::requestRender() {
    if (textFromEdit_ && edit_) {
        text_ = edit_->toPlainText();
    }
    LabelRenderThread::RenderJob job;
    job.serial = ++serial_;
    job.templateText = utf8(text_);
    job.samples = samples_->samples();
    job.zoom = zoom_;
    status_->setText(tr("Drawing\u2026"));
    renderer_->render(std::move(job));
}

void LabelPreview::showResult(std::uint64_t serial, std::shared_ptr<const label::Label> label,
                              const QImage& picture, int scale) {
    if (serial != serial_) {
        return;  // a newer template is on its way
    }
    label_ = std::move(label);
    shownScale_ = scale;
    canvas_->setPicture(picture);
    findings_->setLabel(label_);
    samples_->setTokens(label_->tokens);

    int errors = 0;
    for (const label::Finding& f : label_->findings) {
        errors += f.severity == label::Severity::Error ? 1 : 0;
    }
    const int warnings = static_cast<int>(label_->findings.size()) - errors;
    sizeLabel_->setText(tr("%1 \u00d7 %2 dots (%3 \u00d7 %4 mm)%5")
                            .arg(label_->width)
                            .arg(label_->length)
                            .arg(millimetres(label_->width))
                            .arg(millimetres(label_->length))
                            .arg(label_->widthGiven && label_->lengthGiven
                                     ? QString()
                                     : tr(", size not set by q and Q")));
    QString status = (errors == 1 ? tr("1 error") : tr("%1 errors").arg(errors)) +
                     QStringLiteral(", ") +
                     (warnings == 1 ? tr("1 warning") : tr("%1 warnings").arg(warnings));
    if (picture.isNull()) {
        status += QStringLiteral(". ") + tr("The label is too large to draw.");
    } else if (scale < zoom_) {
        status += QStringLiteral(". ") + tr("Drawn at %1 pixels per dot: the label is too large "
                                            "for more.")
                                             .arg(scale);
    }
    status_->setText(status);
    Q_EMIT redrawn();
}

void LabelPreview::showSaved(const QString& path, bool saved, const QString& error) {
    status_->setText(saved ? tr("Saved %1.").arg(path)
                           : tr("Could not save %1: %2").arg(path, error));
    Q_EMIT pngSaved(path, saved, error);
}

void LabelPreview::activateFinding(const QModelIndex& index) {
    const int line = findings_->lineAt(index.row());
    if (line > 0) {
        Q_EMIT lineActivated(line);
    }
}

QString LabelPreview::sampleSettings() const {
    return QString::fromStdString(label::samplesToText(samples_->samples()));
}

void LabelPreview::setSampleSettings(const QString& settings) {
    samples_->setSamples(label::samplesFromText(utf8(settings)));
    requestRender();
}

void LabelPreview::setZoom(int zoom) {
    zoom = std::clamp(zoom, kLeastZoom, kMostZoom);
    if (zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    updateZoomControls();
    requestRender();
}

void LabelPreview::updateZoomControls() {
    zoomLabel_->setText(tr("%1 %").arg(zoom_ * 100));
    zoomOut_->defaultAction()->setEnabled(zoom_ > kLeastZoom);
    zoomIn_->defaultAction()->setEnabled(zoom_ < kMostZoom);
}

QImage LabelPreview::picture() const {
    return canvas_->picture();
}

void LabelPreview::savePng(const QString& path) {
    if (!label_) {
        showSaved(path, false, tr("nothing is drawn yet"));
        return;
    }
    renderer_->save({label_, std::max(1, shownScale_), path});
}

void LabelPreview::chooseFileAndSave() {
    const QString path =
        QFileDialog::getSaveFileName(this, tr("Save the label's picture"),
                                     QStringLiteral("label.png"), tr("PNG pictures (*.png)"));
    if (!path.isEmpty()) {
        savePng(path);
    }
}

void putCursorOnLine(QPlainTextEdit* edit, int line) {
    if (!edit || line < 1) {
        return;
    }
    const QTextBlock block = edit->document()->findBlockByNumber(line - 1);
    if (!block.isValid()) {
        return;
    }
    QTextCursor cursor(block);
    edit->setTextCursor(cursor);
    edit->centerCursor();
    // The preview may be a window of its own: the edit's comes to the front.
    edit->window()->activateWindow();
    edit->setFocus(Qt::OtherFocusReason);
}
