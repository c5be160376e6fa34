#pragma once

// The signals that ask a program to end (SIGINT, SIGTERM, SIGHUP), taken as
// events: made before any thread starts, it blocks them in the calling thread
// and so in every thread started later, and opens a descriptor that becomes
// readable when one arrives. The program then ends the way it ends when the
// operator closes it, with its files written.
class StopSignals {
  public:
    StopSignals();
    // Closes the descriptor and unblocks the signals again.
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // -1 when the signals could not be taken over; error() then says why and
    // they keep their default action.
    int fd() const { return fd_; }
    int error() const { return error_; }

    // Reads the signals waiting on fd(); the number of the last, 0 for none.
    int take();

  private:
    int fd_ = -1;
    int error_ = 0;
};
