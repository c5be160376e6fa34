#include <QSocketNotifier>
#include <QTimer>

#include "app/TolvaneAppDlg.h"
#include "link/ChunkQueue.h"
#include "link/LinkState.h"
#include "link/NetReceiver.h"
#include "link/SerialReceiver.h"
#include "link/WakeEvent.h"

namespace {
// Chunks handled per turn of the event loop, so a flood never starves painting
// and the operator's clicks.
constexpr std::size_t kChunksPerTurn = 64;
}  // namespace

// The receive threads queue their chunks; an eventfd, watched by the window's
// event loop, tells the window's thread that the queue is no longer empty.
// Chunks and their order travel only through the queue.
void CTolvaneAppDlg::startReceivers() {
    chunkWake_ = std::make_unique<WakeEvent>();
    chunkNotifier_ = std::make_unique<QSocketNotifier>(chunkWake_->fd(), QSocketNotifier::Read);
    connect(chunkNotifier_.get(), &QSocketNotifier::activated, this, [this] {
        chunkWake_->drain();
        drainChunks();
    });
    auto deliver = [this](std::string chunk) { postChunk(std::move(chunk)); };
    netReceiver_ = std::make_unique<NetReceiver>(env_.udpPort, deliver);
    serialReceiver_ = std::make_unique<SerialReceiver>(deliver);
    netReceiver_->start();
    serialReceiver_->start();
}

void CTolvaneAppDlg::postChunk(std::string chunk) {
    if (chunks_->push(std::move(chunk)) == ChunkQueue::Push::QueuedFirst) {
        chunkWake_->signal();
    }
}

void CTolvaneAppDlg::drainChunks() {
    std::vector<std::string> batch;
    const bool more = chunks_->popBatch(batch, kChunksPerTurn);
    for (const std::string& chunk : batch) {
        tmRxFrame(chunk.data(), chunk.size());
    }
    if (more) {
        chunkWake_->signal();  // the rest on the next turn of the event loop
    }
}

// Every thread is stopped and joined before the window goes away, and the
// link's handles are closed, so a later window starts from a clean link.
void CTolvaneAppDlg::stopBackgroundWork() {
    if (clockTimer_ != nullptr) {
        clockTimer_->stop();
    }
    chunks_->close();
    if (netReceiver_) {
        netReceiver_->stop();
    }
    closeSerialLink();
    if (serialReceiver_) {
        serialReceiver_->stop();
    }
    linkState.reset();
}
