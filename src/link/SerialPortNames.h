#pragma once

// Serial ports are offered to the operator as "COM<n>". On Linux those names
// live in a ports folder, by default $XDG_CONFIG_HOME/Tolvane/ports/, as one
// symbolic link per name, e.g. COM3 -> /dev/serial/by-id/usb-XYZ_A12345-if00-port0
// or COM1 -> /dev/ttyS0. A USB adapter is named through its stable by-id link,
// so it keeps its number whatever socket it is plugged into and in whatever
// order the adapters appear. The operator may add, rename or remove links by
// hand; discovery only ever adds names.

#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

struct PortsEnvironment {
    std::filesystem::path portsDir;
    std::filesystem::path devRoot{"/dev"};
    std::filesystem::path sysRoot{"/sys"};
};

// The ports folder "ports" in panelConfigFolder() (os/UserFolders.h), with the
// real /dev and /sys.
PortsEnvironment defaultPortsEnvironment();

inline constexpr unsigned kLastComNumber = 255;

// True when `name` is a port name: exactly "COM" and a number from 1 to 255
// without leading zeros ("COM5x", "COM 5", "com5", "COM05" are not).
// `number` is written only when the result is true.
bool parseComName(std::string_view name, unsigned& number);

// The names of the ports folder already traced as not being port names, so
// that each is traced once.
struct IgnoredPortNames {
    std::set<std::string> traced;
};

// Gives a name to every serial device present that has none yet: an onboard
// ttyS<k> with a UART behind it becomes COM<k+1>; a USB or ACM adapter gets the
// lowest number from 3 up that no name in the folder holds. The kernel's
// console (<sys>/class/tty/<tty>/console is "Y", or <sys>/class/tty/console/active
// names it) gets no name. Creates the folder (mode 0700) when missing. Never
// throws; on errors fewer names are made.
void nameNewSerialDevices(const PortsEnvironment& env);

// Names new devices, then lists the number of every name in the folder that
// leads to a terminal device present now (a character device the kernel lists
// under <sys>/class/tty, or a pseudo-terminal's other end; never /dev/ptmx,
// /dev/tty or a console), in ascending order. Other names in the folder are
// ignored, and traced once each when `ignored` is given. Never throws.
std::vector<unsigned> listSerialPorts(const PortsEnvironment& env,
                                      IgnoredPortNames* ignored = nullptr);

// The path to open for port `number`: portsDir/COM<number>.
std::filesystem::path comPortPath(const PortsEnvironment& env, unsigned number);
