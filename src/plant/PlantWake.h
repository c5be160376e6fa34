#pragma once

// An eventfd that the plant link's threads poll beside the broker's socket, so
// that new records, state changes, a new configuration and stop wake them at
// once.
class PlantWake {
  public:
    PlantWake();  // throws std::system_error when no eventfd can be had
    ~PlantWake();
    PlantWake(const PlantWake&) = delete;
    PlantWake& operator=(const PlantWake&) = delete;

    int fd() const { return fd_; }
    void signal();
    void drain();

  private:
    int fd_;
};
