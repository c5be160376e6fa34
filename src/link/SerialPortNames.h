#pragma once

// Serial ports are offered to the operator as "COM<n>". On Linux those names
// live in a ports folder, by default $XDG_CONFIG_HOME/Tolvane/ports/, as one
// symbolic link per name, e.g. COM3 -> /dev/serial/by-id/usb-XYZ_A12345-if00-port0
// or COM1 -> /dev/ttyS0. A USB adapter is named through its stable by-id link,
// so it keeps its number whatever socket it is plugged into and in whatever
// order the adapters appear. The operator may add, rename or remove links by
// hand; discovery only ever adds names.

#include <filesystem>
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

// True when `name` is a port name: "COM" in any case, at least 4 characters,
// then a number read the way _wtoi reads it (leading white space, optional
// sign, decimal digits up to the first non-digit). The number must be positive
// and at most INT_MAX: zero, negative or overflowing numbers are not ports.
// `number` is written only when the result is true.
bool parseComName(std::string_view name, unsigned& number);

// Gives a name to every serial device present that has none yet: an onboard
// ttyS<k> with a UART behind it becomes COM<k+1>; a USB or ACM adapter gets the
// lowest number from 3 up that no name in the folder holds. The kernel's
// console (<sys>/class/tty/<tty>/console is "Y", or <sys>/class/tty/console/active
// names it) gets no name. Creates the folder (mode 0700) when missing. Never
// throws; on errors fewer names are made.
void nameNewSerialDevices(const PortsEnvironment& env);

// Names new devices, then lists the number of every name in the folder that
// leads to a device present now and not the kernel's console, in ascending
// order; a number named twice (COM3 and com3) is listed twice. Never throws.
std::vector<unsigned> listSerialPorts(const PortsEnvironment& env);

// The path to open for port `number`: portsDir/COM<number> when that leads to
// a device, else the first other name in the folder with that number (such as
// com<number>) that leads to a device, else portsDir/COM<number>.
std::filesystem::path comPortPath(const PortsEnvironment& env, unsigned number);
