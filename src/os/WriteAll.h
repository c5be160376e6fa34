#pragma once

#include <cstddef>
#include <string_view>

// Writes all `size` bytes to a blocking descriptor, writing again after a
// partial write or an interruption by a signal. Returns 0, or the errno of
// the write that failed (EIO for one that wrote nothing).
int writeAll(int fd, const void* data, std::size_t size);

inline int writeAll(int fd, std::string_view bytes) {
    return writeAll(fd, bytes.data(), bytes.size());
}
