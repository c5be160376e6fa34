#pragma once

#include <string_view>

// Commands go out on the serial line as their text and one NUL, and the
// machine takes everything up to a NUL as one command. A write that gives up
// part-way leaves the machine holding the start of a command; the line then
// owes the NUL that ends it. That NUL goes out in front of the next command,
// so the next command arrives whole and on its own.
class SerialCommandWriter {
  public:
    // Writes `command` (its text and its NUL) to the port `fd`, an owed NUL
    // first. True when the whole command went out.
    bool write(int fd, std::string_view command);
    bool owesNul() const { return owesNul_; }

  private:
    bool owesNul_ = false;
};
