#pragma once

#include <QImage>
#include <QString>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "label/Label.h"

// Reads and draws label templates, and writes their pictures, on a thread of
// its own so that the window's thread never waits for a large template or
// for the disk. A render asked for while another waits replaces it: only the
// latest template is drawn. Results are handed to the callbacks on this
// thread; the owner passes them on to its own.
class LabelRenderThread {
  public:
    struct RenderJob {
        std::uint64_t serial = 0;
        std::string templateText;
        label::SampleValues samples;
        int zoom = 1;
        // The picture is drawn at a smaller scale than zoom when it would
        // hold more pixels than this.
        qint64 mostPixels = 16LL * 1024 * 1024;
    };
    struct RenderResult {
        std::uint64_t serial = 0;
        std::shared_ptr<const label::Label> label;
        QImage picture;  // null when the label is too large to draw at any scale
        int scale = 0;   // pixels per dot of the picture
    };
    struct SaveJob {
        std::shared_ptr<const label::Label> label;
        int scale = 1;
        QString path;
    };
    struct SaveResult {
        QString path;
        bool saved = false;
        QString error;
    };

    LabelRenderThread(std::function<void(RenderResult)> rendered,
                      std::function<void(SaveResult)> saved);
    // Finishes the job under way, drops the waiting ones, and joins.
    ~LabelRenderThread();
    LabelRenderThread(const LabelRenderThread&) = delete;
    LabelRenderThread& operator=(const LabelRenderThread&) = delete;

    void render(RenderJob job);
    void save(SaveJob job);

  private:
    void run();

    const std::function<void(RenderResult)> rendered_;
    const std::function<void(SaveResult)> saved_;
    std::mutex lock_;
    std::condition_variable wake_;
    std::optional<RenderJob> render_;
    std::deque<SaveJob> saves_;
    bool stopping_ = false;
    std::thread thread_;
};

// Draws the job's template: the scale is the zoom, or less where the
// picture would be larger than the job allows.
LabelRenderThread::RenderResult renderLabel(const LabelRenderThread::RenderJob& job);
// Writes the label's picture as PNG.
LabelRenderThread::SaveResult saveLabelPicture(const LabelRenderThread::SaveJob& job);
