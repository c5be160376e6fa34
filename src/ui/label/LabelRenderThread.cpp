#include "ui/label/LabelRenderThread.h"

#include <QFile>
#include <QImageWriter>
#include <QSaveFile>

#include <exception>

#include "labeldraw/LabelPainter.h"

LabelRenderThread::LabelRenderThread(std::function<void(RenderResult)> rendered,
                                     std::function<void(SaveResult)> saved)
    : rendered_(std::move(rendered)), saved_(std::move(saved)), thread_([this] { run(); }) {}

LabelRenderThread::~LabelRenderThread() {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void LabelRenderThread::render(RenderJob job) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        render_ = std::move(job);
    }
    wake_.notify_one();
}

void LabelRenderThread::save(SaveJob job) {
    {
        const std::lock_guard<std::mutex> guard(lock_);
        saves_.push_back(std::move(job));
    }
    wake_.notify_one();
}

void LabelRenderThread::run() {
    for (;;) {
        std::optional<RenderJob> render;
        std::optional<SaveJob> save;
        {
            std::unique_lock<std::mutex> guard(lock_);
            wake_.wait(guard, [this] { return stopping_ || render_ || !saves_.empty(); });
            if (stopping_) {
                return;
            }
            if (!saves_.empty()) {
                save = std::move(saves_.front());
                saves_.pop_front();
            } else {
                render = std::move(render_);
                render_.reset();
            }
        }
        // Memory that runs out costs this picture, not the panel: the preview
        // keeps the picture it has, and a save says why it failed.
        try {
            if (save) {
                saved_(saveLabelPicture(*save));
            } else if (render) {
                rendered_(renderLabel(*render));
            }
        } catch (const std::exception& failure) {
            if (save) {
                SaveResult result;
                result.path = save->path;
                result.error = QString::fromLocal8Bit(failure.what());
                saved_(std::move(result));
            }
        }
    }
}

LabelRenderThread::RenderResult renderLabel(const LabelRenderThread::RenderJob& job) {
    LabelRenderThread::RenderResult result;
    result.serial = job.serial;
    auto label = std::make_shared<label::Label>(label::readLabel(job.templateText, job.samples));
    int scale = std::max(1, job.zoom);
    const qint64 pixels = qint64(label->width) * label->length;
    while (scale > 1 && pixels * scale * scale > job.mostPixels) {
        --scale;
    }
    if (pixels <= job.mostPixels) {
        result.picture = labeldraw::drawLabel(*label, scale);
        result.scale = result.picture.isNull() ? 0 : scale;
    }
    result.label = std::move(label);
    return result;
}

LabelRenderThread::SaveResult saveLabelPicture(const LabelRenderThread::SaveJob& job) {
    LabelRenderThread::SaveResult result;
    result.path = job.path;
    if (!job.label || !labeldraw::fitsPicture(*job.label, job.scale)) {
        result.error = QStringLiteral("the picture is too large to draw");
        return result;
    }
    const QImage picture =
        labeldraw::drawLabel(*job.label, job.scale).convertToFormat(QImage::Format_Grayscale8);
    // Written to a temporary file and renamed: a failed write leaves no
    // half picture behind and an older one in place.
    QSaveFile file(job.path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.error = file.errorString();
        return result;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(picture)) {
        result.error = writer.errorString();
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.error = file.errorString();
        return result;
    }
    result.saved = true;
    return result;
}
