#pragma once

// An eventfd by which one thread wakes another: a receive thread polls it
// beside its port or socket, so that link changes and shutdown wake it at
// once; an owner's event loop watches it for work handed over.
//
// Making one never throws: when the descriptor cannot be made (no
// descriptors left), fd() is -1, error() says why, and signal() and drain()
// do nothing. Whoever would wait on it must check valid() first: wait(-1)
// on an invalid event would never return.
class WakeEvent {
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    int error() const { return error_; }
    void signal();
    void drain();
    // Blocks until signalled or until timeoutMs passes (-1: no limit).
    void wait(int timeoutMs);

  private:
    int fd_;
    int error_;
};
