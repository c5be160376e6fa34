#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class LinkKind { None, Udp, Serial };

// What the simulator does besides answering commands.
enum class Mode {
    Machine,  // the machine model: frames on change and every period
    Once,     // one state frame at start, then only listen
    Script,   // the lines of a file, then end
    Flood,    // a burst of frames at a fixed rate, then end
};

struct UdpTarget {
    std::uint32_t address = 0x7f000001;  // host byte order
    std::uint16_t port = 39451;
};

struct Options {
    bool help = false;
    LinkKind link = LinkKind::None;
    UdpTarget target;
    std::uint16_t localPort = 0;  // 0: any free port
    std::string comName;          // "COM<n>"
    Mode mode = Mode::Machine;
    std::int64_t rate = 10;        // counts per second while counting
    std::int64_t periodMs = 1000;  // 0: state frames only on change
    std::vector<std::string> slots{"R1", "C0402", "LOT7"};
    std::string scriptFile;
    std::int64_t floodCount = 0;
    std::int64_t floodRate = 1000;
    bool malformed = false;
    std::optional<std::int64_t> exitAfterMs;
    std::optional<std::int64_t> gapMs;  // unset: 20 on a serial line, 0 over UDP
};

struct ParsedOptions {
    Options options;
    std::string error;  // empty when the arguments are usable
};

// `args` are the arguments without the program name.
ParsedOptions parseOptions(const std::vector<std::string>& args);

// "HOST[:PORT]" where HOST is a dotted IPv4 address in 127.0.0.0/8 or
// "localhost". Any other host is refused: the simulator only talks to this
// computer.
std::optional<UdpTarget> parseUdpTarget(std::string_view text, std::string& error);

// "COM1" to "COM255", the names the panel offers.
bool isComName(std::string_view name);

std::string usageText();

}  // namespace sim
