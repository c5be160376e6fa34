#pragma once

#include <string_view>

// Writes all of `bytes` to `fd`, going on after short writes and EINTR.
// Returns 0, or the errno of the write that failed (EIO for one that wrote
// nothing).
int writeAll(int fd, std::string_view bytes);
