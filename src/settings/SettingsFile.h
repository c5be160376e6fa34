#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <filesystem>
#include <string>
#include <vector>

#include "storage/DiskSync.h"

// The settings file on disk: reading it, parsing it, replacing it atomically
// and keeping a damaged one aside. Used by SettingsStore only.
namespace settingsfile {

enum class ReadResult { kMissing, kRead, kNotRegular, kFailed };

// What a path leads to, links followed: nothing, a regular file, or something
// else (a device, FIFO, socket or folder) whose name is in `what`.
enum class FileKind { kMissing, kRegular, kOther };
FileKind kindOf(const std::filesystem::path& file, std::string& what);

// Reads the whole file (through a symbolic link). Anything but a regular file
// is never opened (kNotRegular, what it is in `reason`). With `tighten`, a
// regular file of ours that others may read is made private (0600); a file
// reached through a symbolic link is never changed by reading it.
ReadResult read(const std::filesystem::path& file, QByteArray& bytes, std::string& reason,
                bool tighten);

// The top-level object of `bytes`, whose member "TolvaneApp", when present, is
// an object; false with the reason otherwise. A number that is valid JSON but
// beyond what a double holds (1e400) reads as null, so that one such value
// does not cost the others.
bool parse(const QByteArray& bytes, QJsonObject& top, std::string& reason);

// The file that writes to `file` reach: `file` itself, or, when it is a
// symbolic link, the file at the end of its chain of links (which may not
// exist yet). Empty with the reason when the chain does not end.
std::filesystem::path writeTarget(const std::filesystem::path& file, std::string& error);

// Keeps the store's own folder private (0700), creating it and its parents
// when missing. A shared sticky folder such as /tmp is never touched.
bool ensurePrivateFolder(const std::filesystem::path& folder, std::string& error);
// Makes an existing folder of ours private; a missing one is left alone.
void tightenFolder(const std::filesystem::path& folder);

// Replaces `file` (no links followed) by a file holding `bytes`, mode 0600:
// temporary file in the same folder, sync, rename, sync of the folder.
// Readers see the old or the new file in full; on every failure the
// temporary file is removed and `file` is left as it was.
bool replace(const std::filesystem::path& file, const QByteArray& bytes, const SyncCall& sync,
             std::string& error);

// Moves `file` to "<file>.corrupt-YYYYMMDD-HHMMSS", with "-1", "-2", ... when
// that name is taken; `aside` is the name it got.
bool moveAside(const std::filesystem::path& file, std::filesystem::path& aside, std::string& error);

// Writes `bytes` to a new file "<file>.<kind>-YYYYMMDD-HHMMSS" (with "-1", ...
// when taken), mode 0600, synced with its folder; `aside` is the name it got.
// Never replaces anything.
bool copyAside(const std::filesystem::path& file, const QByteArray& bytes, const char* kind,
               const SyncCall& sync, std::filesystem::path& aside, std::string& error);

// Removes the temporary files that replace() leaves when the program is killed
// in the middle (".<name>.XXXXXX" beside `file`: regular files of this user).
// Only while the folder's lock can be had at once: a panel holding it may be
// writing its temporary file right now. Returns the files removed.
std::vector<std::filesystem::path> removeStaleTemporaries(const std::filesystem::path& file);

// An exclusive lock (flock) on a folder for as long as it lives, so that two
// panels never interleave their read, change and replace of one settings
// file: a replacement in between would be lost. Waits for the other panel's
// write to end. A folder that cannot be locked is written without the lock.
class FolderLock {
  public:
    enum class Wait { kYes, kNo };
    // With Wait::kNo, held() tells whether the lock was free.
    explicit FolderLock(const std::filesystem::path& folder, Wait wait = Wait::kYes);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return held_; }

  private:
    int fd_;
    bool held_ = false;
};

// The folder holding `file` ("." for a bare name).
std::filesystem::path folderOf(const std::filesystem::path& file);

}  // namespace settingsfile
