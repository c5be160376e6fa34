#pragma once

#include <string>
#include <string_view>

// Appends `bytes` to `out` as a JSON string, quotes included. The texts come
// from the machine as 8-bit text, UTF-8 by this system's rule: a byte that is
// not part of valid UTF-8 becomes U+FFFD, as the window shows it, so the
// payload is always valid JSON in valid UTF-8. Quotes, backslashes and control
// characters are escaped.
void appendJsonString(std::string& out, std::string_view bytes);
