#include "Options.h"

#include <arpa/inet.h>

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <algorithm>

#include "cli/CommandLine.h"

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

namespace {

// The simulator's options as QCommandLineParser reads them; the value names
// are for the parser only (the usage text is written out below).
std::vector<QCommandLineOption> simulatorOptions() {
    const auto valued = [](const char* name) {
        return QCommandLineOption(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    };
    const auto flag = [](const char* name) {
        return QCommandLineOption(QString::fromLatin1(name));
    };
    return {QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")}),
            valued("udp"),
            valued("serial"),
            valued("local-port"),
            valued("rate"),
            valued("period"),
            valued("slots"),
            valued("script"),
            valued("flood"),
            valued("flood-rate"),
            flag("malformed"),
            flag("once"),
            valued("exit-after"),
            valued("gap")};
}

// --udp takes its value only when one follows ("--udp --once" is the default
// target): the parser wants every value, so a bare --udp gets the default's.
std::vector<std::string> withUdpValue(const std::vector<std::string>& args) {
    std::vector<std::string> out{"tolvane-sim"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--udp" && (i + 1 == args.size() || args[i + 1].starts_with("-"))) {
            out.emplace_back("--udp=127.0.0.1:39451");
        } else {
            out.push_back(args[i]);
        }
    }
    return out;
}

}  // namespace

ParsedOptions parseOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    Options& o = result.options;
    std::string& error = result.error;

    QCommandLineParser parser;
    error = cli::parse(parser, simulatorOptions(), cli::argumentsOf(withUdpValue(args)));
    if (!error.empty()) {
        return result;
    }
    const auto values = [&](const char* name) {
        std::vector<std::string> all;
        for (const QString& value : parser.values(QString::fromLatin1(name))) {
            all.push_back(cli::bytesOf(value));
        }
        return all;
    };
    // Every value given is checked; the last one counts.
    const auto number = [&](const char* name, std::int64_t lo,
                            std::int64_t hi) -> std::optional<std::int64_t> {
        std::optional<std::int64_t> last;
        for (const std::string& text : values(name)) {
            last = parseInteger(text, lo, hi);
            if (!last) {
                error = std::string("--") + name + " needs a whole number from " +
                        std::to_string(lo) + " to " + std::to_string(hi) + ", not '" + text + "'";
                return std::nullopt;
            }
        }
        return last;
    };
    const QStringList named = parser.optionNames();  // each time given, in order
    const auto given = [&](const char* name) {
        return static_cast<int>(std::count(named.begin(), named.end(), QString::fromLatin1(name)));
    };

    if (given("h") + given("help") > 0) {
        o.help = true;
        return result;
    }
    const std::vector<std::string> udp = values("udp");
    const std::vector<std::string> serial = values("serial");
    if (udp.size() + serial.size() > 1) {
        error = "choose one link: --udp or --serial";
        return result;
    }
    if (!udp.empty()) {
        o.link = LinkKind::Udp;
        if (const auto target = parseUdpTarget(udp.front(), error)) {
            o.target = *target;
        } else {
            return result;
        }
    }
    if (!serial.empty()) {
        o.link = LinkKind::Serial;
        o.comName = serial.front();
        if (!isComName(o.comName)) {
            error = "--serial needs a port name COM1 to COM255, not '" + o.comName + "'";
            return result;
        }
    }
    const auto check = [&](auto&& step) {
        if (error.empty()) {
            step();
        }
    };
    check([&] {
        if (const auto n = number("local-port", 0, 65535)) {
            o.localPort = static_cast<std::uint16_t>(*n);
        }
    });
    check([&] { o.rate = number("rate", 1, 1000000).value_or(o.rate); });
    check([&] { o.periodMs = number("period", 0, 3600000).value_or(o.periodMs); });
    check([&] {
        for (const std::string& list : values("slots")) {
            if (error.empty()) {
                error = checkSlots(list, o.slots);
            }
        }
    });
    check([&] {
        if (const std::vector<std::string> scripts = values("script"); !scripts.empty()) {
            o.scriptFile = scripts.back();
            o.mode = Mode::Script;
        }
    });
    check([&] {
        if (parser.isSet(QStringLiteral("flood"))) {
            o.floodCount = number("flood", 1, 1000000000).value_or(0);
            o.mode = Mode::Flood;
        }
    });
    check([&] { o.floodRate = number("flood-rate", 1, 1000000).value_or(o.floodRate); });
    check([&] { o.malformed = parser.isSet(QStringLiteral("malformed")); });
    check([&] {
        if (parser.isSet(QStringLiteral("once"))) {
            o.mode = Mode::Once;
        }
    });
    check([&] { o.exitAfterMs = number("exit-after", 0, 604800000); });
    check([&] { o.gapMs = number("gap", 0, 10000); });
    if (!error.empty()) {
        return result;
    }
    const int modes = given("script") + given("flood") + given("once");
    if (o.link == LinkKind::None) {
        error = "choose a link: --udp [HOST:PORT] or --serial COM<n>";
    } else if (modes > 1) {
        error = "--once, --script and --flood exclude each other";
    } else if (parser.isSet(QStringLiteral("local-port")) && o.link != LinkKind::Udp) {
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
