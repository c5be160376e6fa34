#include "Options.h"

#include <arpa/inet.h>

#include "Numbers.h"

namespace sim {

namespace {

constexpr std::size_t kMaxSlotText = 511;  // the panel's slot field holds 511 characters

std::string checkSlots(std::string_view list, std::vector<std::string>& slots) {
    slots.clear();
    if (list.empty()) {
        return {};
    }
    for (;;) {
        const auto comma = list.find(',');
        const std::string_view slot = list.substr(0, comma);
        if (slot.size() > kMaxSlotText) {
            return "--slots: a slot text is longer than 511 characters";
        }
        if (slot.find_first_of("{}") != std::string_view::npos ||
            slot.find("]end") != std::string_view::npos) {
            return "--slots: a slot text may not contain {, } or ]end";
        }
        slots.emplace_back(slot);
        if (comma == std::string_view::npos) {
            break;
        }
        list.remove_prefix(comma + 1);
    }
    if (slots.size() > 3) {
        return "--slots: at most three slot texts";
    }
    return {};
}

}  // namespace

std::optional<UdpTarget> parseUdpTarget(std::string_view text, std::string& error) {
    UdpTarget target;
    std::string_view host = text;
    if (const auto colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        const auto port = parseInteger(text.substr(colon + 1), 1, 65535);
        if (!port) {
            error = "--udp: the port must be a number from 1 to 65535";
            return std::nullopt;
        }
        target.port = static_cast<std::uint16_t>(*port);
    }
    if (host == "localhost") {
        target.address = 0x7f000001;
        return target;
    }
    in_addr address{};
    const std::string hostText(host);
    if (inet_pton(AF_INET, hostText.c_str(), &address) != 1) {
        error = "--udp: '" + hostText + "' is not an IPv4 address of this computer (127.x.x.x)";
        return std::nullopt;
    }
    target.address = ntohl(address.s_addr);
    if ((target.address >> 24) != 127) {
        error = "--udp: only loopback addresses 127.0.0.0/8 may be used, not " + hostText;
        return std::nullopt;
    }
    return target;
}

bool isComName(std::string_view name) {
    if (!name.starts_with("COM") || name.size() < 4 || name[3] == '0') {
        return false;
    }
    return parseInteger(name.substr(3), 1, 255).has_value();
}

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    Options& o = result.options;
    std::string& error = result.error;
    int modes = 0;
    bool localPortGiven = false;

    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        std::string name = args[i];
        std::optional<std::string> attached;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            attached = name.substr(eq + 1);
            name.resize(eq);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (attached) {
                return attached;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            error = name + " needs a value";
            return std::nullopt;
        };
        const auto number = [&](std::int64_t lo, std::int64_t hi) -> std::optional<std::int64_t> {
            const auto text = value();
            if (!text) {
                return std::nullopt;
            }
            const auto parsed = parseInteger(*text, lo, hi);
            if (!parsed) {
                error = name + " needs a whole number from " + std::to_string(lo) + " to " +
                        std::to_string(hi) + ", not '" + *text + "'";
            }
            return parsed;
        };
        const auto flag = [&] {
            if (attached) {
                error = name + " takes no value";
            }
        };

        if (name == "--help" || name == "-h") {
            o.help = true;
        } else if (name == "--udp") {
            if (o.link != LinkKind::None) {
                error = "choose one link: --udp or --serial";
            }
            o.link = LinkKind::Udp;
            std::optional<std::string> text = attached;
            if (!text && i + 1 < args.size() && !args[i + 1].starts_with("-")) {
                text = args[++i];
            }
            if (text && error.empty()) {
                if (const auto target = parseUdpTarget(*text, error)) {
                    o.target = *target;
                }
            }
        } else if (name == "--serial") {
            if (o.link != LinkKind::None) {
                error = "choose one link: --udp or --serial";
            } else if (const auto text = value()) {
                o.link = LinkKind::Serial;
                o.comName = *text;
                if (!isComName(o.comName)) {
                    error = "--serial needs a port name COM1 to COM255, not '" + o.comName + "'";
                }
            }
        } else if (name == "--local-port") {
            localPortGiven = true;
            if (const auto n = number(0, 65535)) {
                o.localPort = static_cast<std::uint16_t>(*n);
            }
        } else if (name == "--rate") {
            o.rate = number(1, 1000000).value_or(o.rate);
        } else if (name == "--period") {
            o.periodMs = number(0, 3600000).value_or(o.periodMs);
        } else if (name == "--slots") {
            if (const auto text = value()) {
                error = checkSlots(*text, o.slots);
            }
        } else if (name == "--script") {
            if (const auto text = value()) {
                o.scriptFile = *text;
                o.mode = Mode::Script;
                ++modes;
            }
        } else if (name == "--flood") {
            o.floodCount = number(1, 1000000000).value_or(0);
            o.mode = Mode::Flood;
            ++modes;
        } else if (name == "--flood-rate") {
            o.floodRate = number(1, 1000000).value_or(o.floodRate);
        } else if (name == "--malformed") {
            flag();
            o.malformed = true;
        } else if (name == "--once") {
            flag();
            o.mode = Mode::Once;
            ++modes;
        } else if (name == "--exit-after") {
            o.exitAfterMs = number(0, 604800000);
        } else if (name == "--gap") {
            o.gapMs = number(0, 10000);
        } else {
            error = "unknown option '" + args[i] + "'";
        }
    }
    if (!error.empty() || o.help) {
        return result;
    }
    if (o.link == LinkKind::None) {
        error = "choose a link: --udp [HOST:PORT] or --serial COM<n>";
    } else if (modes > 1) {
        error = "--once, --script and --flood exclude each other";
    } else if (localPortGiven && o.link != LinkKind::Udp) {
        error = "--local-port goes with --udp only";
    }
    return result;
}

std::string usageText() {
    return R"(usage: tolvane-sim (--udp [HOST[:PORT]] | --serial COM<n>) [options]

Plays the counting machine for the Tolvane panel.

Links:
  --udp [HOST[:PORT]]  send to the panel at HOST:PORT (default 127.0.0.1:39451);
                       HOST must be a loopback address 127.x.x.x or localhost
  --local-port N       UDP port of the simulator itself (default: any free one)
  --serial COM<n>      create a pseudo-terminal and offer it to the panel as COM<n>
                       in $XDG_CONFIG_HOME/Tolvane/ports (~/.config/Tolvane/ports)

Machine:
  --rate R             counts per second after START (default 10)
  --period MS          state frame every MS ms (default 1000; 0: only on change)
  --slots a,b,c        slot texts of counting records (default R1,C0402,LOT7)
  --gap MS             least time between two frames (default 20 serial, 0 UDP)

Tests and benchmarks (in these modes the machine still follows the commands but
sends no frames of its own):
  --once               send one state frame, then only print commands
  --script FILE        send each line of FILE as one frame (escapes \r \n \t \0 \\ \xHH;
                       "sleep MS" waits; empty lines and lines starting with # are skipped),
                       then print "script done N" and end
  --flood N            send N state frames, the count rising by one each, every 100th
                       a counting record, then print "flood done N" and end
  --flood-rate R       frames per second for --flood (default 1000)
  --malformed          follow every frame of the machine or the flood with a malformed one
  --exit-after MS      end after MS ms

Output (stdout, one line each, flushed at once):
  udp: LOCAL -> TARGET  or  serial: COM<n> -> /dev/pts/N (LINK)   first, the link
  cmd[N]: TEXT         a command from the panel: N raw bytes, TEXT escaped, final NUL left out
  model: NOTE          what the command did to the machine
  tx: FRAME            a frame sent because something changed (escaped)
)";
}

}  // namespace sim
