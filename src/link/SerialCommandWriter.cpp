#include "link/SerialCommandWriter.h"

#include <string>

#include "link/SerialDevice.h"

bool SerialCommandWriter::write(int fd, std::string_view command) {
    std::string withOwedNul;
    std::string_view bytes = command;
    if (owesNul_) {
        withOwedNul.reserve(command.size() + 1);
        withOwedNul.push_back('\0');
        withOwedNul.append(command);
        bytes = withOwedNul;
    }
    const std::size_t written = writeSerial(fd, bytes.data(), bytes.size());
    if (written > 0) {
        // Whatever went out last decides: a NUL ends a command, anything else
        // leaves one open.
        owesNul_ = bytes[written - 1] != '\0';
    }
    return written == bytes.size();
}
