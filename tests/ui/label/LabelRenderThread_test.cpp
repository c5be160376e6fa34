// The preview's thread on its own: renders asked for in a row are drawn
// latest first and never out of order, and the thread stops with work still
// waiting.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/label/LabelRenderThread.h"

namespace {

using namespace std::chrono_literals;

// What the thread hands back, gathered under a lock.
struct Delivered {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<LabelRenderThread::RenderResult> renders;
    std::vector<LabelRenderThread::SaveResult> saves;

    template <typename Ready>
    bool waitFor(Ready ready) {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, 10s, [&] { return ready(); });
    }
};

LabelRenderThread::RenderJob job(std::uint64_t serial, int length) {
    LabelRenderThread::RenderJob job;
    job.serial = serial;
    job.templateText =
        "N\nq200\nQ" + std::to_string(length) +
        ",24\nLO1,1,50,5\nA10,10,0,3,1,1,N,\"Lot 7\"\nB10,40,0,1,2,4,30,B,\"C0402\"\nP1\n";
    return job;
}

TEST(LabelRenderThread, TheLatestRenderIsDrawnLastAndNoneOutOfOrder) {
    Delivered delivered;
    LabelRenderThread thread(
        [&](LabelRenderThread::RenderResult result) {
            const std::lock_guard<std::mutex> guard(delivered.lock);
            delivered.renders.push_back(std::move(result));
            delivered.arrived.notify_all();
        },
        [](LabelRenderThread::SaveResult) {});
    constexpr int kJobs = 200;
    for (int i = 1; i <= kJobs; ++i) {
        thread.render(job(static_cast<std::uint64_t>(i), 100 + i));
    }
    ASSERT_TRUE(delivered.waitFor(
        [&] { return !delivered.renders.empty() && delivered.renders.back().serial == kJobs; }));
    const std::lock_guard<std::mutex> guard(delivered.lock);
    EXPECT_LE(delivered.renders.size(), static_cast<std::size_t>(kJobs));
    for (std::size_t i = 1; i < delivered.renders.size(); ++i) {
        EXPECT_LT(delivered.renders[i - 1].serial, delivered.renders[i].serial);
    }
    const LabelRenderThread::RenderResult& last = delivered.renders.back();
    ASSERT_TRUE(last.label);
    EXPECT_EQ(last.label->length, 100 + kJobs);
    EXPECT_EQ(last.picture.size(), QSize(200, 100 + kJobs));
}

TEST(LabelRenderThread, SavesAndSaysWhenItCannot) {
    QTemporaryDir folder;
    Delivered delivered;
    LabelRenderThread thread([](LabelRenderThread::RenderResult) {},
                             [&](LabelRenderThread::SaveResult result) {
                                 const std::lock_guard<std::mutex> guard(delivered.lock);
                                 delivered.saves.push_back(std::move(result));
                                 delivered.arrived.notify_all();
                             });
    const std::shared_ptr<const label::Label> label = renderLabel(job(1, 60)).label;
    thread.save({label, 2, folder.filePath(QStringLiteral("a.png"))});
    thread.save({label, 1, folder.filePath(QStringLiteral("missing/b.png"))});
    ASSERT_TRUE(delivered.waitFor([&] { return delivered.saves.size() == 2; }));
    const std::lock_guard<std::mutex> guard(delivered.lock);
    EXPECT_TRUE(delivered.saves[0].saved) << delivered.saves[0].error.toStdString();
    EXPECT_EQ(QImage(delivered.saves[0].path).size(), QSize(400, 120));
    EXPECT_FALSE(delivered.saves[1].saved);
    EXPECT_FALSE(delivered.saves[1].error.isEmpty());
}

TEST(LabelRenderThread, StopsWithWorkWaiting) {
    std::atomic<int> rendered{0};
    {
        LabelRenderThread thread([&](LabelRenderThread::RenderResult) { ++rendered; },
                                 [](LabelRenderThread::SaveResult) {});
        for (int i = 1; i <= 50; ++i) {
            thread.render(job(static_cast<std::uint64_t>(i), 100));
        }
    }
    const int atStop = rendered.load();
    EXPECT_LE(atStop, 50);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(rendered.load(), atStop);  // nothing after the thread is gone
}

}  // namespace
