#pragma once

#include <string>

// The files around the journal's database: its private folder, the mode of
// the database and its companions (-wal, -shm), and keeping a damaged one aside.
namespace journalfiles {

// Makes `folder` and its missing parents (mode 0700), and takes group and
// others' access away from `folder` itself when it is the user's own and not
// a shared sticky folder such as /tmp.
bool ensurePrivateFolder(const std::string& folder, std::string& error);

// Creates the database file with mode 0600 when it is missing, and takes
// group and others' access away from it and its companions when they have it.
bool ensurePrivateFiles(const std::string& database, std::string& error);

// Moves the database to "<database>.corrupt-YYYYMMDD-HHMMSS" ("-1", "-2", ...
// when taken) and its write-ahead log beside it with "-wal" appended; the
// shared-memory index is removed (it only describes the log). `aside` is
// the database's new name.
bool moveAside(const std::string& database, std::string& aside, std::string& error);

// An exclusive lock (flock) on a folder for as long as it lives: two panels
// opening one journal never both keep the same damaged file aside.
class FolderLock {
  public:
    explicit FolderLock(const std::string& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_;
};

}  // namespace journalfiles
