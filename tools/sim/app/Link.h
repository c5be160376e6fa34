#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

// The simulator's side of one link to the panel. The descriptor is non-blocking
// and waited on by the simulator's poll loop.
class Link {
  public:
    virtual ~Link() = default;

    virtual int fd() const = 0;

    // Writes from the start of `bytes`: a datagram whole, a serial line possibly
    // in part. Returns the bytes written, or -1 with errno (EAGAIN: try again
    // once the descriptor is writable).
    virtual ssize_t send(std::string_view bytes) = 0;

    // Reads what is waiting and appends each complete command, with its raw
    // bytes, to `commands`. False when the link has failed.
    virtual bool receive(std::vector<std::string>& commands) = 0;

    // Bytes of a command still incomplete when the link ends.
    virtual std::string takeIncomplete() { return {}; }

    // Called when the panel has not taken anything for a while: a serial line
    // throws away what nobody read, as a real line would lose it.
    virtual void discardUnread() {}

    // One line for the operator: where the link goes.
    virtual std::string describe() const = 0;
};
