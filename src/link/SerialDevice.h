#pragma once

// The serial line to the machine through POSIX termios: opening it for this
// program alone, setting 2,000,000 bit/s 8N1 with every byte passed unchanged,
// bounded writes and burst-wise reads.

#include <sys/types.h>

#include <cstddef>
#include <string>

// Device numbers: a pseudo-terminal's other end (/dev/pts/<n>); and whether a
// terminal may serve as a port at all: never /dev/tty, /dev/console,
// /dev/ptmx (major 5) nor a virtual console (tty0 to tty63).
bool isPseudoTerminalNumber(dev_t number);
bool isOfferableTerminalNumber(dev_t number);

struct SerialOpenResult {
    int fd = -1;
    int error = 0;  // errno when fd < 0
};

// Opens the port read-write, non-blocking, without making it the controlling
// terminal, and takes it for this program alone: an exclusive flock (which
// also stops other instances running as root) and TIOCEXCL (which stops other
// programs that open the port without locking). A port held elsewhere fails
// with EWOULDBLOCK (flock) or EBUSY (TIOCEXCL); a terminal that is some
// process's controlling terminal (a terminal window, a login) fails with
// EBUSY before anything touches it; a path that is not a terminal, or is
// /dev/ptmx, /dev/tty, the console or a virtual console, fails with ENOTTY.
SerialOpenResult openSerialPort(const std::string& path);

// Raw mode (no echo, no line editing, no signals, no CR/NL translation, no
// software flow control, no output processing), 2,000,000 bit/s in both
// directions, 8 data bits, no parity, one stop bit, receiver on, modem
// control lines ignored; every other setting stays as found. Then discards
// whatever is queued in both directions. Failures are not reported: a port
// that cannot be configured shows itself by what it delivers.
void configureSerialPort(int fd);

// The longest write that the line can carry within writeSerial's time limit:
// 450 ms at 2,000,000 bit/s, 10 bits a byte (start, 8 data, stop).
inline constexpr std::size_t kLongestSerialWrite = 90000;

// Writes `size` bytes, waiting for room as needed, but for no longer than the
// line needs to carry them (5 us a byte) plus 50 ms, and never for more than
// 500 ms: the caller is the window's thread. Returns how many bytes went out;
// `size` when all of them did.
std::size_t writeSerial(int fd, const char* data, std::size_t size);

// Releases exclusive use and closes the port. A negative fd is ignored.
void closeSerialPort(int fd);

enum class BurstStatus { Data, Woken, Failed };

struct Burst {
    BurstStatus status;
    std::size_t size;
};

// Reads one burst of received bytes into `buffer`. Waits without limit for the
// first byte, or until `wakeFd` (an eventfd or pipe, -1 for none) is readable
// (Woken; wakeFd is not drained). After the first byte it keeps reading until
// the line has been silent for more than 10 ms, `capacity` bytes have arrived
// or wakeFd becomes readable, and returns Data with what it has. A hung-up or
// failing port gives Failed, or, when bytes were read before, Data with them
// (the next call then gives Failed). Nothing received is ever discarded: bytes
// that arrive after the burst wait for the next call. Expects a port set up by
// configureSerialPort (an end-of-file read counts as hang-up).
Burst readBurst(int fd, int wakeFd, char* buffer, std::size_t capacity);
