#include "link/SerialDevice.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kBurstSilence{10};
// At 2,000,000 bit/s a byte of 10 bits takes 5 us on the line.
constexpr std::chrono::microseconds kLinePerByte{5};
constexpr milliseconds kWriteMargin{50};
constexpr milliseconds kWriteCeiling{500};
static_assert(kLinePerByte * kLongestSerialWrite + kWriteMargin == kWriteCeiling);

constexpr short kPortEnded = POLLHUP | POLLERR | POLLNVAL;

// Pseudo-terminals' other ends (UNIX98 ptys) have these majors.
constexpr unsigned kFirstPtySlaveMajor = 136;
constexpr unsigned kLastPtySlaveMajor = 143;
constexpr unsigned kVirtualConsoleMajor = 4;  // tty0 to tty63; ttyS<k> from minor 64
constexpr unsigned kFirstSerialMinor = 64;
constexpr unsigned kTtyAuxMajor = 5;  // /dev/tty, /dev/console, /dev/ptmx, ...

Clock::duration writeLimit(std::size_t size) {
    if (size >= kLongestSerialWrite) {
        return kWriteCeiling;
    }
    return kLinePerByte * static_cast<std::chrono::microseconds::rep>(size) + kWriteMargin;
}

// Milliseconds left until `deadline` for poll(), rounded up so that a wait
// never ends before the deadline; 0 once it has passed.
int pollTimeout(Clock::time_point deadline) {
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) {
        return 0;
    }
    const auto ms = std::chrono::ceil<milliseconds>(left).count();
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

enum class ReadOutcome { Got, Nothing, Ended };

ReadOutcome readAvailable(int fd, char* buffer, std::size_t capacity, std::size_t& size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer + size, capacity - size);
        if (n > 0) {
            size += static_cast<std::size_t>(n);
            return ReadOutcome::Got;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return ReadOutcome::Nothing;
        }
        // With VMIN 1 a terminal reads end-of-file only once it has hung up.
        return ReadOutcome::Ended;
    }
}

// Whether any process (this one included) has terminal `number` as its
// controlling terminal: field 7 of /proc/<pid>/stat, in the kernel's own
// encoding of device numbers. The terminal itself cannot tell another
// session's ownership of a pseudo-terminal.
bool isControllingTerminal(dev_t number) {
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) {
        return false;
    }
    bool found = false;
    while (const dirent* entry = ::readdir(processes)) {
        if (entry->d_name[0] < '1' || entry->d_name[0] > '9') {
            continue;
        }
        const std::string path = std::string("/proc/") + entry->d_name + "/stat";
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        char text[1024];
        const ssize_t got = ::read(fd, text, sizeof text - 1);
        ::close(fd);
        if (got <= 0) {
            continue;
        }
        text[got] = '\0';
        // "pid (name) state ppid pgrp session tty_nr ...": the name may hold anything.
        const char* after = std::strrchr(text, ')');
        char state = 0;
        long parent = 0;
        long group = 0;
        long session = 0;
        unsigned long tty = 0;
        if (after == nullptr ||
            std::sscanf(after + 1, " %c %ld %ld %ld %lu", &state, &parent, &group, &session,
                        &tty) != 5 ||
            tty == 0) {
            continue;
        }
        const unsigned ttyMajor = (tty >> 8) & 0xfff;
        const unsigned ttyMinor = (tty & 0xff) | ((tty >> 12) & 0xfff00);
        if (ttyMajor == major(number) && ttyMinor == minor(number)) {
            found = true;
            break;
        }
    }
    ::closedir(processes);
    return found;
}

// Whether the open descriptor is a terminal that may serve as a port: 0, or
// the errno to fail with.
int refusalOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        return errno;
    }
    termios settings{};
    if (!S_ISCHR(st.st_mode) || !isOfferableTerminalNumber(st.st_rdev) ||
        ::tcgetattr(fd, &settings) != 0) {
        return ENOTTY;
    }
    // Someone's terminal window or login: raw mode and commands would land
    // on their screen.
    return isControllingTerminal(st.st_rdev) ? EBUSY : 0;
}

}  // namespace

bool isPseudoTerminalNumber(dev_t number) {
    return major(number) >= kFirstPtySlaveMajor && major(number) <= kLastPtySlaveMajor;
}

bool isOfferableTerminalNumber(dev_t number) {
    if (major(number) == kTtyAuxMajor) {
        return false;  // the process's own terminal, the console, ptmx and the like
    }
    return major(number) != kVirtualConsoleMajor || minor(number) >= kFirstSerialMinor;
}

SerialOpenResult openSerialPort(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {-1, errno};
    }
    if (const int refused = refusalOf(fd); refused != 0) {
        ::close(fd);
        return {-1, refused};
    }
    // The lock comes first: TIOCEXCL on a port that someone else holds would
    // stay set on their port after we give up.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd);
        return {-1, error};
    }
    return {fd, 0};
}

void configureSerialPort(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) == 0) {
        settings.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR |
                                                   IGNCR | ICRNL | IUCLC | IXON | IXOFF | IXANY);
        settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        settings.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
        settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB);
        settings.c_cflag |= CS8 | CREAD | CLOCAL;
        settings.c_cc[VMIN] = 1;
        settings.c_cc[VTIME] = 0;
        ::cfsetispeed(&settings, B2000000);
        ::cfsetospeed(&settings, B2000000);
        ::tcsetattr(fd, TCSANOW, &settings);
    }
    ::tcflush(fd, TCIOFLUSH);
}

std::size_t writeSerial(int fd, const char* data, std::size_t size) {
    if (fd < 0) {
        return 0;
    }
    const Clock::time_point deadline = Clock::now() + writeLimit(size);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            break;
        }
        pollfd port{fd, POLLOUT, 0};
        const int timeout = pollTimeout(deadline);
        if (timeout == 0) {
            break;
        }
        const int ready = ::poll(&port, 1, timeout);
        if (ready < 0 && errno != EINTR) {
            break;
        }
        if (ready > 0 && (port.revents & POLLOUT) == 0 && (port.revents & kPortEnded) != 0) {
            break;
        }
    }
    return done;
}

void closeSerialPort(int fd) {
    if (fd < 0) {
        return;
    }
    ::ioctl(fd, TIOCNXCL);
    ::close(fd);
}

Burst readBurst(int fd, int wakeFd, char* buffer, std::size_t capacity) {
    if (fd < 0) {
        return {BurstStatus::Failed, 0};
    }
    if (capacity == 0) {
        return {BurstStatus::Data, 0};
    }
    pollfd watched[2] = {{fd, POLLIN, 0}, {wakeFd, POLLIN, 0}};  // poll skips a negative wakeFd
    std::size_t size = 0;
    Clock::time_point silenceEnd{};
    const auto ended = [&size]() {
        return size > 0 ? Burst{BurstStatus::Data, size} : Burst{BurstStatus::Failed, 0};
    };
    for (;;) {
        const int timeout = size == 0 ? -1 : pollTimeout(silenceEnd);
        const int ready = ::poll(watched, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return ended();
        }
        if (ready == 0) {
            return {BurstStatus::Data, size};  // the line has been silent long enough
        }
        const short wake = watched[1].revents;
        if ((wake & POLLIN) != 0) {
            return size > 0 ? Burst{BurstStatus::Data, size} : Burst{BurstStatus::Woken, 0};
        }
        if ((wake & kPortEnded) != 0) {
            watched[1].fd = -1;  // a broken wake descriptor would otherwise spin the poll
        }
        const short port = watched[0].revents;
        if ((port & POLLIN) != 0) {
            switch (readAvailable(fd, buffer, capacity, size)) {
                case ReadOutcome::Got:
                    if (size == capacity) {
                        return {BurstStatus::Data, size};
                    }
                    silenceEnd = Clock::now() + kBurstSilence;
                    continue;
                case ReadOutcome::Nothing:
                    if ((port & kPortEnded) != 0) {
                        return ended();
                    }
                    continue;
                case ReadOutcome::Ended:
                    return ended();
            }
        }
        if ((port & kPortEnded) != 0) {
            return ended();
        }
    }
}
