#include "text/DebugTrace.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace {

void appendFormatted(std::string& out, const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) {
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(length) + 1);
    std::vsnprintf(out.data() + start, static_cast<std::size_t>(length) + 1, format, args);
    out.resize(start + static_cast<std::size_t>(length));
}

}  // namespace

void DebugTrace(const TraceSite* site, ...) {
    std::string text = "D:[";
    text += site->function;
    text += ',';
    text += std::to_string(site->line);
    text += ']';
    va_list args;
    va_start(args, site);
    appendFormatted(text, site->format, args);
    va_end(args);
    text += "\r\n";

    flockfile(stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    funlockfile(stdout);
}
