#pragma once

// An eventfd by which one thread wakes another: a receive thread polls it
// beside its port or socket, so that link changes and shutdown wake it at
// once; an owner's event loop watches it for work handed over.
class WakeEvent {
  public:
    WakeEvent();
    ~WakeEvent();
    WakeEvent(const WakeEvent&) = delete;
    WakeEvent& operator=(const WakeEvent&) = delete;

    int fd() const { return fd_; }
    void signal();
    void drain();
    // Blocks until signalled or until timeoutMs passes (-1: no limit).
    void wait(int timeoutMs);

  private:
    int fd_;
};
