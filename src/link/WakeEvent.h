#pragma once

// An eventfd that a receive thread polls beside its port or socket, so that
// link changes and shutdown wake it at once instead of at the next poll tick.
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
