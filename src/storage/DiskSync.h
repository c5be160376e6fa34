#pragma once

#include <functional>

// How much of a file a sync makes durable: its data (fdatasync: enough for an
// appended record) or everything, metadata included (fsync).
enum class SyncKind { Data, Full };

// Makes what was written to `fd` durable; 0 or the errno of the failure. The
// disk writer takes one, so tests and benchmarks can put in a failing, slow or
// blocking one.
using SyncCall = std::function<int(int fd, SyncKind kind)>;

// The real one: fdatasync or fsync, retried on EINTR.
int syncToDisk(int fd, SyncKind kind);
