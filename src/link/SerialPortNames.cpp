#include "link/SerialPortNames.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <string>

#include "link/SerialDevice.h"
#include "os/UserFolders.h"
#include "text/TraceSites.h"
#include "text/TraceText.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned kFirstAdapterNumber = 3;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "ttyUSB12" with prefix "ttyUSB" gives 12; anything but digits after the
// prefix (or a number too large to be a line index) gives nothing.
std::optional<unsigned> deviceIndex(std::string_view name, std::string_view prefix) {
    if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(prefix.size());
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (error != std::errc() || end != digits.data() + digits.size() || value >= INT_MAX - 1) {
        return std::nullopt;
    }
    return value;
}

std::string comName(unsigned number) {
    return "COM" + std::to_string(number);
}

// One name in the ports folder, with where its link leads.
struct PortName {
    fs::path path;
    unsigned number = 0;
    fs::path literalTarget;  // the link text, made absolute against the folder
    fs::path resolved;       // the device it leads to now; empty when none
};

// A stand-in device tree (a devRoot other than /dev, as the tests build one)
// holds plain files as its device nodes.
bool isStandInNode(const PortsEnvironment& env, const fs::path& resolved) {
    if (env.devRoot.lexically_normal() == fs::path("/dev")) {
        return false;
    }
    std::error_code ec;
    const fs::path root = fs::weakly_canonical(env.devRoot, ec);
    const fs::path relative = resolved.lexically_relative(root);
    return !ec && !relative.empty() && *relative.begin() != ".." &&
           fs::is_regular_file(resolved, ec);
}

// Whether the kernel lists the character device `number` among its terminals:
// <sys>/dev/char/<major>:<minor>/subsystem is the tty class.
bool isListedTerminal(const PortsEnvironment& env, dev_t number) {
    const fs::path entry = env.sysRoot / "dev" / "char" /
                           (std::to_string(major(number)) + ":" + std::to_string(minor(number)));
    std::error_code ec;
    const fs::path subsystem = fs::canonical(entry / "subsystem", ec);
    return !ec && subsystem.filename() == "tty";
}

// A link that leads to a terminal device the panel may offer: a character
// device the kernel lists as a terminal, or a pseudo-terminal's other end;
// never /dev/tty, /dev/console, /dev/ptmx nor a virtual console.
bool leadsToTerminal(const PortsEnvironment& env, const fs::path& entry, fs::path& resolved) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(entry, ec))) {
        return false;
    }
    resolved = fs::canonical(entry, ec);
    if (ec) {
        return false;
    }
    struct stat st {};
    if (::stat(resolved.c_str(), &st) != 0) {
        return false;
    }
    if (!S_ISCHR(st.st_mode)) {
        return isStandInNode(env, resolved);
    }
    return isOfferableTerminalNumber(st.st_rdev) &&
           (isPseudoTerminalNumber(st.st_rdev) || isListedTerminal(env, st.st_rdev));
}

// Every entry of the folder whose name passes the port-name rule, sorted by
// name. Other names go to `ignored` when given.
std::vector<PortName> readPortNames(const PortsEnvironment& env,
                                    std::vector<std::string>* ignored = nullptr) {
    const fs::path& dir = env.portsDir;
    std::vector<PortName> names;
    std::error_code ec;
    fs::directory_iterator it(dir, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        PortName name;
        name.path = it->path();
        if (!parseComName(name.path.filename().native(), name.number)) {
            if (ignored != nullptr) {
                ignored->push_back(name.path.filename().native());
            }
            continue;
        }
        std::error_code linkError;
        const fs::path target = fs::read_symlink(name.path, linkError);
        if (!linkError) {
            name.literalTarget = (dir / target).lexically_normal();
            fs::path resolved;
            if (leadsToTerminal(env, name.path, resolved)) {
                name.resolved = resolved;
            }
        }
        names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end(),
              [](const PortName& a, const PortName& b) { return a.path < b.path; });
    return names;
}

// A serial device present now and the path its name should point to.
struct PresentDevice {
    fs::path node;        // <devRoot>/ttyUSB0 and the like
    fs::path resolved;    // node with every link resolved
    fs::path nameTarget;  // stable link (USB/ACM) or the node itself (ttyS)
    std::optional<unsigned> onboardLine;
};

// The lexically first link in `folder` that leads to `resolvedNode`.
std::optional<fs::path> linkLeadingTo(const fs::path& folder, const fs::path& resolvedNode) {
    std::optional<fs::path> best;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::error_code linkError;
        if (!it->is_symlink(linkError) || linkError) {
            continue;
        }
        const fs::path resolved = fs::canonical(it->path(), linkError);
        if (!linkError && resolved == resolvedNode && (!best || it->path() < *best)) {
            best = it->path();
        }
    }
    return best;
}

fs::path stableTarget(const fs::path& devRoot, const fs::path& node, const fs::path& resolved) {
    for (const char* folder : {"by-id", "by-path"}) {
        if (auto link = linkLeadingTo(devRoot / "serial" / folder, resolved)) {
            return *link;
        }
    }
    return node;
}

std::optional<std::string> readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string text;
    if (!in || !std::getline(in, text)) {
        return std::nullopt;
    }
    return text;
}

// The kernel writes its messages to the console's tty and may read a login
// from it: commands must never go there. A tty is the console when
// <sys>/class/tty/<name>/console says "Y" or when <sys>/class/tty/console/active
// names it among the consoles in use.
bool isKernelConsole(const fs::path& sysRoot, const std::string& ttyName) {
    if (ttyName.empty()) {
        return false;
    }
    const fs::path ttyClass = sysRoot / "class" / "tty";
    const std::optional<std::string> flag = readFirstLine(ttyClass / ttyName / "console");
    if (flag && flag->rfind('Y', 0) == 0) {
        return true;
    }
    std::istringstream active(readFirstLine(ttyClass / "console" / "active").value_or(""));
    std::string name;
    while (active >> name) {
        if (name == ttyName) {
            return true;
        }
    }
    return false;
}

// Onboard ports first (their numbers are fixed), then adapters in the order
// of their stable names, so that adapters found together are numbered the
// same way on every machine start. Virtual consoles (tty<n>), pseudo-terminals
// (ptmx, pts/*) and the console are never serial devices and are not looked at,
// nor is a serial line that the kernel uses as its console.
std::vector<PresentDevice> findPresentDevices(const PortsEnvironment& env) {
    const fs::path& devRoot = env.devRoot;
    std::vector<PresentDevice> devices;
    std::error_code ec;
    fs::directory_iterator it(devRoot, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().native();
        const std::optional<unsigned> line = deviceIndex(name, "ttyS");
        if (!line && !deviceIndex(name, "ttyUSB") && !deviceIndex(name, "ttyACM")) {
            continue;
        }
        std::error_code statError;
        if (it->is_directory(statError) || statError) {
            continue;
        }
        PresentDevice device;
        device.node = it->path();
        device.resolved = fs::canonical(device.node, statError);
        if (statError || isKernelConsole(env.sysRoot, device.resolved.filename())) {
            continue;
        }
        device.onboardLine = line;
        device.nameTarget =
            line ? device.node : stableTarget(devRoot, device.node, device.resolved);
        devices.push_back(std::move(device));
    }
    std::sort(devices.begin(), devices.end(), [](const PresentDevice& a, const PresentDevice& b) {
        if (a.onboardLine.has_value() != b.onboardLine.has_value()) {
            return a.onboardLine.has_value();
        }
        if (a.onboardLine) {
            return *a.onboardLine < *b.onboardLine;
        }
        return a.nameTarget < b.nameTarget;
    });
    return devices;
}

std::optional<long> readNumberFile(const fs::path& file) {
    const std::optional<std::string> line = readFirstLine(file);
    if (!line) {
        return std::nullopt;
    }
    const std::string& text = *line;
    const auto first = std::find_if_not(text.begin(), text.end(), isBlank);
    long value = 0;
    const char* begin = text.data() + (first - text.begin());
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), value);
    if (error != std::errc() || end == begin) {
        return std::nullopt;
    }
    return value;
}

bool hostedBy8250Placeholder(const fs::path& device, const fs::path& driver) {
    if (driver.filename() == "serial8250") {
        return true;
    }
    return std::any_of(device.begin(), device.end(),
                       [](const fs::path& part) { return part == "serial8250"; });
}

// Asks the UART driver itself, as setserial does. Opening a tty raises its
// modem lines briefly; this is done only for ports that have no name yet and
// that sysfs cannot tell apart from placeholders.
bool uartTypeKnownByIoctl(const fs::path& node) {
    const int fd = ::open(node.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;  // placeholder lines refuse to open (EIO)
    }
    serial_struct info{};
    const bool known = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return known;
}

// The 8250 driver registers a fixed number of ttyS lines (up to 32) whether or
// not a UART is behind them. A line is a real port when:
//  1. <sys>/class/tty/ttyS<k>/type, the kernel's UART type, is readable: the
//     port is real when it is not 0 (PORT_UNKNOWN). Newer kernels make this
//     file world-readable; older ones restrict it to root.
//  2. Else its device is hosted by something other than the serial8250
//     platform device, which only legacy lines and placeholders hang off
//     (.../devices/platform/serial8250, and on kernels with the serial-base
//     bus .../serial8250/serial8250:0/serial8250:0.<k>): a PNP, ACPI, PCI or
//     SoC UART is real.
//  3. Else (hosted by serial8250, or sysfs has no entry) only the driver can
//     tell: TIOCGSERIAL on the node, when the node is the real /dev one.
bool isRealOnboardPort(const PortsEnvironment& env, const PresentDevice& device) {
    const fs::path entry = env.sysRoot / "class" / "tty" / device.node.filename();
    if (const std::optional<long> type = readNumberFile(entry / "type")) {
        return *type != PORT_UNKNOWN;
    }
    std::error_code ec;
    const fs::path host = fs::canonical(entry / "device", ec);
    if (!ec) {
        std::error_code driverError;
        fs::path driver = fs::canonical(entry / "device" / "driver", driverError);
        if (driverError) {
            driver.clear();
        }
        if (!hostedBy8250Placeholder(host, driver)) {
            return true;
        }
    }
    return env.devRoot.lexically_normal() == fs::path("/dev") && uartTypeKnownByIoctl(device.node);
}

bool isNamed(const PresentDevice& device, const std::vector<PortName>& names) {
    const fs::path target = device.nameTarget.lexically_normal();
    const fs::path node = device.node.lexically_normal();
    return std::any_of(names.begin(), names.end(), [&](const PortName& name) {
        return name.literalTarget == target || name.literalTarget == node ||
               (!name.resolved.empty() && name.resolved == device.resolved);
    });
}

// Creates every missing folder on the way with mode 0700: the ports folder
// and the configuration folders above it are the user's own.
bool ensureFolder(const fs::path& dir) {
    std::error_code ec;
    if (fs::is_directory(dir, ec)) {
        return true;
    }
    if (dir.empty() || dir == dir.root_path()) {
        return false;
    }
    if (!ensureFolder(dir.parent_path())) {
        return false;
    }
    if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) {
        return fs::is_directory(dir, ec);
    }
    return false;
}

// Returns false with errno set when the name could not be made.
bool makeName(const fs::path& dir, unsigned number, const fs::path& target) {
    return ::symlink(target.c_str(), (dir / comName(number)).c_str()) == 0;
}

void nameDevices(const PortsEnvironment& env) {
    if (!ensureFolder(env.portsDir)) {
        return;
    }
    std::vector<PortName> names = readPortNames(env);
    std::set<unsigned> held;
    for (const PortName& name : names) {
        held.insert(name.number);
    }
    for (const PresentDevice& device : findPresentDevices(env)) {
        if (isNamed(device, names)) {
            continue;
        }
        std::optional<unsigned> given;
        if (device.onboardLine) {
            // An onboard line has one number only; when another name already
            // holds it, the operator has chosen otherwise and it stays unnamed.
            // Placeholder lines hold no number, so adapters may take theirs.
            const unsigned number = *device.onboardLine + 1;
            if (!held.contains(number) && isRealOnboardPort(env, device)) {
                if (makeName(env.portsDir, number, device.nameTarget)) {
                    given = number;
                } else if (errno == EEXIST) {
                    held.insert(number);
                }
            }
        } else {
            for (unsigned number = kFirstAdapterNumber; !given && number < INT_MAX; ++number) {
                if (held.contains(number)) {
                    continue;
                }
                held.insert(number);
                if (makeName(env.portsDir, number, device.nameTarget)) {
                    given = number;
                } else if (errno != EEXIST) {
                    break;  // the folder cannot take names; a name made meanwhile just moves on
                }
            }
        }
        if (given) {
            held.insert(*given);
            PortName name;
            name.path = env.portsDir / comName(*given);
            name.number = *given;
            name.literalTarget = device.nameTarget.lexically_normal();
            name.resolved = device.resolved;
            names.push_back(std::move(name));
        }
    }
}

}  // namespace

bool parseComName(std::string_view name, unsigned& number) {
    if (name.size() < 4 || name.size() > 6 || name.substr(0, 3) != "COM" || name[3] == '0') {
        return false;
    }
    unsigned value = 0;
    const char* const end = name.data() + name.size();
    const auto [stop, error] = std::from_chars(name.data() + 3, end, value);
    if (error != std::errc() || stop != end || value < 1 || value > kLastComNumber) {
        return false;
    }
    number = value;
    return true;
}

PortsEnvironment defaultPortsEnvironment() {
    PortsEnvironment env;
    env.portsDir = panelConfigFolder() / "ports";
    return env;
}

void nameNewSerialDevices(const PortsEnvironment& env) {
    try {
        nameDevices(env);
    } catch (...) {
        // Out of memory and the like: the devices stay unnamed for this run.
    }
}

std::vector<unsigned> listSerialPorts(const PortsEnvironment& env, IgnoredPortNames* ignored) {
    std::vector<unsigned> ports;
    nameNewSerialDevices(env);
    try {
        std::vector<std::string> others;
        const std::vector<PortName> names = readPortNames(env, &others);
        if (ignored != nullptr) {
            for (const std::string& name : others) {
                if (ignored->traced.insert(name).second) {
                    trace<sites::portEntryIgnored>(traceSafe(name).c_str());
                }
            }
        }
        for (const PortName& name : names) {
            if (!name.resolved.empty() && !isKernelConsole(env.sysRoot, name.resolved.filename())) {
                ports.push_back(name.number);
            }
        }
        std::sort(ports.begin(), ports.end());
    } catch (...) {
        ports.clear();
    }
    return ports;
}

fs::path comPortPath(const PortsEnvironment& env, unsigned number) {
    return env.portsDir / comName(number);
}
