#pragma once

#include <array>
#include <cstddef>
#include <type_traits>

// The diagnostic line of this system: "D:[<function>,<line>]" + message + "\r\n"
// on standard output. Each fixed call site (function name, line number and
// message format) is named once in text/TraceSites.h, so that operators'
// scripts can match them. Each line leaves the process in one write, so lines
// written by different threads never interleave mid-line.
struct TraceSite {
    const char* function;
    int line;
    const char* format;  // printf's
};

// Writes the site's line with `...` formatted into its message. Unchecked:
// call trace<site>(...), which checks the arguments against the format when
// it compiles.
void DebugTrace(const TraceSite* site, ...);

namespace traceformat {

// What a conversion of printf takes, after the default promotions.
enum class Arg { Text, Int, Unsigned, Long, UnsignedLong, LongLong, UnsignedLongLong, Double };

template <class T>
consteval Arg argOf() {
    using U = std::decay_t<T>;  // a literal's array is the pointer printf gets
    if constexpr (std::is_same_v<U, const char*> || std::is_same_v<U, char*>) {
        return Arg::Text;
    } else if constexpr (std::is_same_v<U, int> || std::is_same_v<U, short> ||
                         std::is_same_v<U, char> || std::is_same_v<U, signed char>) {
        return Arg::Int;
    } else if constexpr (std::is_same_v<U, unsigned> || std::is_same_v<U, unsigned short> ||
                         std::is_same_v<U, unsigned char>) {
        return Arg::Unsigned;
    } else if constexpr (std::is_same_v<U, long>) {
        return Arg::Long;
    } else if constexpr (std::is_same_v<U, unsigned long>) {
        return Arg::UnsignedLong;
    } else if constexpr (std::is_same_v<U, long long>) {
        return Arg::LongLong;
    } else if constexpr (std::is_same_v<U, unsigned long long>) {
        return Arg::UnsignedLongLong;
    } else if constexpr (std::is_floating_point_v<U>) {
        return Arg::Double;
    } else {
        static_assert(std::is_void_v<U>, "a trace argument is text (const char*) or a number");
    }
}

inline constexpr bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// True when `format`'s conversions take exactly `args`, in order. Knows the
// conversions the trace sites use: %s %c %d %i %u %x %f %g %e with the
// l, ll and z sizes, flags, width and precision, and %%.
template <std::size_t N>
consteval bool formatTakes(const char* format, const std::array<Arg, N>& args) {
    std::size_t next = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        if (*p == '%') {
            continue;
        }
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') {
            ++p;
        }
        while (isDigit(*p)) {
            ++p;
        }
        if (*p == '.') {
            ++p;
            while (isDigit(*p)) {
                ++p;
            }
        }
        int longs = 0;
        while (*p == 'l') {
            ++longs;
            ++p;
        }
        const bool sized = *p == 'z';
        if (sized) {
            ++p;
        }
        if (longs > 2 || (sized && longs > 0)) {
            return false;
        }
        Arg wanted{};
        switch (*p) {
            case 's':
                if (longs > 0 || sized) {
                    return false;
                }
                wanted = Arg::Text;
                break;
            case 'c':
                wanted = Arg::Int;
                break;
            case 'd':
            case 'i':
                wanted = sized        ? argOf<std::make_signed_t<std::size_t>>()
                         : longs == 0 ? Arg::Int
                         : longs == 1 ? Arg::Long
                                      : Arg::LongLong;
                break;
            case 'u':
            case 'x':
            case 'X':
                wanted = sized        ? argOf<std::size_t>()
                         : longs == 0 ? Arg::Unsigned
                         : longs == 1 ? Arg::UnsignedLong
                                      : Arg::UnsignedLongLong;
                break;
            case 'f':
            case 'g':
            case 'e':
                wanted = Arg::Double;
                break;
            default:
                return false;
        }
        if (next >= N || args[next] != wanted) {
            return false;
        }
        ++next;
    }
    return next == N;
}

template <class... Args>
consteval bool formatTakes(const char* format) {
    return formatTakes(format, std::array<Arg, sizeof...(Args)>{argOf<Args>()...});
}

}  // namespace traceformat

// trace<sites::uartCommand>(text.c_str()): the site's line, its arguments
// checked against its format when it compiles.
template <const TraceSite& site, class... Args>
void trace(const Args&... args) {
    static_assert(traceformat::formatTakes<Args...>(site.format),
                  "the arguments do not match the trace site's format");
    DebugTrace(&site, args...);
}
