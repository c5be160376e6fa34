#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "inbound/RecordFile.h"

class DiskWriter;

// Hands counting records to the disk writer, which appends and syncs them in
// arrival order, and keeps the outcome of the latest one for the window: a
// record that could not be written is traced when it fails and stays visible
// until the next record is written. Records that queue up while the writer is
// busy are written together, each file's share with one sync.
class RecordSaver {
  public:
    // `settled` runs on the writer's thread when an outcome is waiting to be
    // taken and none was before; it must only signal a wake-up, never wait.
    RecordSaver(DiskWriter& writer, std::function<void()> settled);
    ~RecordSaver();
    RecordSaver(const RecordSaver&) = delete;
    RecordSaver& operator=(const RecordSaver&) = delete;

    // Returns at once; the record is written later, in the order of the calls.
    void save(std::string path, std::string text);

    // The outcome of the latest record settled since the last call, if any.
    std::optional<RecordWriteResult> takeLatest();

    // No `settled` call starts after this returns; records already handed
    // over are still written. Idempotent.
    void detach();

  private:
    struct Shared;
    DiskWriter& writer_;
    std::shared_ptr<Shared> shared_;
};
