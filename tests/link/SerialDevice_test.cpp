#include "link/SerialDevice.h"
#include "link/SerialCommandWriter.h"
#include "support/Probes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace std::chrono_literals;

// Upper bound for waiting on the pty in helpers, so that a broken build fails
// instead of hanging; no test outcome depends on it.
constexpr int kGiveUpMs = 5000;

std::string allByteValues() {
    std::string bytes;
    for (int value = 0; value < 256; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

bool isReadable(int fd, int waitMs = 0) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, waitMs) == 1 && (p.revents & POLLIN) != 0;
}

// A pseudo-terminal: the program opens the slave as its serial port, the test
// plays the machine on the master.
class PtyPort : public ::testing::Test {
  protected:
    void SetUp() override {
        master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        char name[128] = {};
        ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);
        slavePath = name;
        // No termios calls on the master: on Linux they act on the slave and
        // would hide what configureSerialPort does or fails to do.
        wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        ASSERT_GE(wake, 0);
    }
    void TearDown() override {
        closeSerialPort(port);
        closeMaster();
        ::close(wake);
    }

    void openConfiguredPort() {
        const SerialOpenResult opened = openSerialPort(slavePath);
        ASSERT_GE(opened.fd, 0) << "errno " << opened.error;
        port = opened.fd;
        configureSerialPort(port);
    }
    void closeMaster() {
        if (master >= 0) {
            ::close(master);
            master = -1;
        }
    }
    void machineSends(std::string_view bytes) {
        ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    // What arrives until `count` bytes are in or the line is quiet for `waitMs`.
    std::string machineReceives(std::size_t count, int waitMs = kGiveUpMs) {
        std::string received;
        while (received.size() < count) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, waitMs) != 1) {
                break;
            }
            char chunk[4096];
            const ssize_t n = ::read(master, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            received.append(chunk, static_cast<std::size_t>(n));
        }
        return received;
    }
    void signalWake() {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(wake, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }

    struct Received {
        BurstStatus status;
        std::string bytes;
    };
    // Runs readBurst on its own thread, so that a read that never returns
    // fails the test instead of hanging it: after the give-up time the machine
    // sends a byte to end the read.
    std::future<Received> startRead(std::size_t capacity = 1024) {
        return std::async(std::launch::async, [this, capacity] {
            std::vector<char> buffer(capacity);
            const Burst burst = readBurst(port, wake, buffer.data(), capacity);
            return Received{burst.status, std::string(buffer.data(), burst.size)};
        });
    }
    Received finishRead(std::future<Received>& pending) {
        if (pending.wait_for(std::chrono::milliseconds(kGiveUpMs)) != std::future_status::ready) {
            ADD_FAILURE() << "readBurst did not return";
            if (master >= 0) {
                (void)::write(master, "!", 1);
            }
        }
        return pending.get();
    }
    Received readOneBurst(std::size_t capacity = 1024) {
        std::future<Received> pending = startRead(capacity);
        return finishRead(pending);
    }

    int master = -1;
    int port = -1;
    int wake = -1;
    std::string slavePath;
};

TEST_F(PtyPort, ConfigureSetsRawEightBitAtTwoMegabitAndKeepsTheRest) {
    const SerialOpenResult opened = openSerialPort(slavePath);
    ASSERT_GE(opened.fd, 0);
    port = opened.fd;

    termios cooked{};
    ASSERT_EQ(::tcgetattr(port, &cooked), 0);
    cooked.c_iflag |= ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | BRKINT;
    cooked.c_oflag |= OPOST | ONLCR;
    cooked.c_lflag |= ECHO | ICANON | ISIG | IEXTEN;
    cooked.c_cflag |= CSTOPB | HUPCL;
    cooked.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
    cooked.c_cc[VINTR] = 0x05;
    ::cfsetispeed(&cooked, B9600);
    ::cfsetospeed(&cooked, B9600);
    ASSERT_EQ(::tcsetattr(port, TCSANOW, &cooked), 0);

    configureSerialPort(port);

    termios now{};
    ASSERT_EQ(::tcgetattr(port, &now), 0);
    EXPECT_EQ(now.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | BRKINT), 0u);
    EXPECT_EQ(now.c_oflag & OPOST, 0u);
    EXPECT_EQ(now.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u);
    EXPECT_EQ(now.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(now.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_EQ(now.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(::cfgetispeed(&now), static_cast<speed_t>(B2000000));
    EXPECT_EQ(::cfgetospeed(&now), static_cast<speed_t>(B2000000));
    EXPECT_EQ(now.c_cc[VMIN], 1);
    EXPECT_EQ(now.c_cc[VTIME], 0);
    EXPECT_NE(now.c_cflag & HUPCL, 0u) << "settings not named are kept as found";
    EXPECT_EQ(now.c_cc[VINTR], 0x05) << "settings not named are kept as found";
}

TEST_F(PtyPort, ConfigureDiscardsWhatWasQueuedBefore) {
    const SerialOpenResult opened = openSerialPort(slavePath);
    ASSERT_GE(opened.fd, 0);
    port = opened.fd;
    machineSends("stale\n");  // a whole line: the port is still line-buffered here
    ASSERT_TRUE(isReadable(port, kGiveUpMs));

    configureSerialPort(port);

    EXPECT_FALSE(isReadable(port));
}

TEST_F(PtyPort, EveryByteValuePassesUnchangedInBothDirections) {
    openConfiguredPort();
    const std::string bytes = allByteValues();

    machineSends(bytes);
    std::string received;
    while (received.size() < bytes.size() && isReadable(port, kGiveUpMs)) {
        const Received burst = readOneBurst();
        ASSERT_EQ(burst.status, BurstStatus::Data);
        received += burst.bytes;
    }
    EXPECT_EQ(received, bytes);

    // An echo of the received bytes would reach the machine ahead of these.
    EXPECT_EQ(writeSerial(port, bytes.data(), bytes.size()), bytes.size());
    EXPECT_EQ(machineReceives(bytes.size()), bytes);
}

TEST_F(PtyPort, CommandWithItsTerminatingNulArrivesExactly) {
    openConfiguredPort();
    const std::string command("kavrin_key:rewind\n\r\0", 21);

    EXPECT_EQ(writeSerial(port, command.data(), command.size()), command.size());
    EXPECT_EQ(machineReceives(command.size()), command);
}

TEST_F(PtyPort, PortHeldByThisProgramCannotBeOpenedTwice) {
    openConfiguredPort();

    const SerialOpenResult second = openSerialPort(slavePath);
    EXPECT_LT(second.fd, 0);
    EXPECT_TRUE(second.error == EWOULDBLOCK || second.error == EBUSY) << second.error;

    closeSerialPort(port);
    port = -1;
    const SerialOpenResult again = openSerialPort(slavePath);
    EXPECT_GE(again.fd, 0) << "closing releases the port";
    port = again.fd;
}

TEST(OpenSerialPort, ReportsWhyAPathCannotBeOpened) {
    std::string folder =
        (std::filesystem::temp_directory_path() / "tolvane-serial-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);
    const std::string plainFile = folder + "/COM3";
    std::ofstream(plainFile) << "not a terminal";

    const std::string fifo = folder + "/COM5";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    struct Case {
        std::string path;
        int error;
    };
    // None of them is a serial port: /dev/ptmx is a terminal device that
    // "opens" with nothing behind it.
    const Case cases[] = {
        {folder + "/COM4", ENOENT}, {plainFile, ENOTTY},   {fifo, ENOTTY},
        {"/dev/null", ENOTTY},      {"/dev/zero", ENOTTY}, {"/dev/ptmx", ENOTTY},
    };
    for (const Case& c : cases) {
        const SerialOpenResult opened = openSerialPort(c.path);
        EXPECT_LT(opened.fd, 0) << c.path;
        EXPECT_EQ(opened.error, c.error) << c.path;
        closeSerialPort(opened.fd);
    }
    std::filesystem::remove_all(folder);
}

// Another program's terminal (a terminal window holding a shell): it is not
// opened, so it is neither put into raw mode nor written to.
TEST_F(PtyPort, AnotherProcesssControllingTerminalIsNeverOpened) {
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        // A session leader that opens a terminal makes it its controlling one.
        ::setsid();
        const int terminal = ::open(slavePath.c_str(), O_RDWR);
        char byte = terminal >= 0 ? 1 : 0;
        (void)!::write(ready[1], &byte, 1);
        (void)!::read(release[0], &byte, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 1);

    const int look = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    termios before{};
    ASSERT_EQ(::tcgetattr(look, &before), 0);

    const SerialOpenResult opened = openSerialPort(slavePath);
    EXPECT_LT(opened.fd, 0);
    EXPECT_EQ(opened.error, EBUSY);
    closeSerialPort(opened.fd);

    termios after{};
    ASSERT_EQ(::tcgetattr(look, &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    ::close(look);
    pollfd output{master, POLLIN, 0};
    EXPECT_EQ(::poll(&output, 1, 20), 0) << "nothing reached the terminal";

    ::close(release[1]);
    ::close(ready[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
}

TEST(WriteSerial, NothingToWriteSucceedsAndABadPortFails) {
    EXPECT_EQ(writeSerial(STDOUT_FILENO, "", 0), 0u);
    EXPECT_EQ(writeSerial(-1, "x", 1), 0u);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    ::close(pipeFds[1]);
    EXPECT_EQ(writeSerial(pipeFds[0], "x", 1), 0u) << "a read-only descriptor cannot be written";
    ::close(pipeFds[0]);
}

// A line whose machine has stopped reading: writes fill it until it takes
// nothing more.
class StalledLine : public PtyPort {
  protected:
    void SetUp() override {
        PtyPort::SetUp();
        openConfiguredPort();
    }
    // Leaves the line with no room at all.
    void fill() {
        const std::string chunk(4096, 'x');
        for (;;) {
            if (::write(port, chunk.data(), chunk.size()) > 0) {
                continue;
            }
            ASSERT_TRUE(errno == EAGAIN || errno == EWOULDBLOCK) << errno;
            pollfd p{port, POLLOUT, 0};
            if (::poll(&p, 1, 50) == 0) {
                break;
            }
        }
    }
    // Everything the machine has been sent so far, once it reads again.
    std::string drain() { return machineReceives(std::string::npos, 100); }
    // Runs `write` on its own thread and measures it. A write that has not
    // returned after the give-up time fails the test; the machine then reads
    // again so that it ends.
    template <class Write>
    auto timed(Write write, std::chrono::steady_clock::duration& took) {
        const auto before = std::chrono::steady_clock::now();
        auto pending = std::async(std::launch::async, write);
        if (pending.wait_for(std::chrono::milliseconds(kGiveUpMs)) != std::future_status::ready) {
            ADD_FAILURE() << "the write did not give up";
            while (pending.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
                drain();
            }
        }
        took = std::chrono::steady_clock::now() - before;
        return pending.get();
    }
};

// The write waits only as long as the line needs for the bytes at 2,000,000
// bit/s plus a margin, and never more than half a second: it runs on the
// window's thread.
TEST_F(StalledLine, WriteGivesUpWithinWhatTheLineNeedsAndAtMostHalfASecond) {
    struct Case {
        std::size_t size;
        std::chrono::milliseconds limit;  // what the line needs, plus margin
    };
    fill();
    for (const Case c : {Case{1, 50ms}, Case{30000, 200ms}, Case{5000000, 500ms}}) {
        const std::string bytes(c.size, 'y');
        std::chrono::steady_clock::duration took{};
        const std::size_t written =
            timed([&] { return writeSerial(port, bytes.data(), bytes.size()); }, took);
        EXPECT_EQ(written, 0u) << c.size;
        EXPECT_GE(took, c.limit) << c.size << ": it waits for room that long";
        EXPECT_LT(took, c.limit + 400ms) << c.size;
    }
}

TEST_F(StalledLine, WriteCutShortSaysHowMuchWentOut) {
    const std::string bytes(200000, 'z');  // more than the pty buffers
    std::chrono::steady_clock::duration took{};
    const std::size_t written =
        timed([&] { return writeSerial(port, bytes.data(), bytes.size()); }, took);
    EXPECT_GT(written, 0u);
    EXPECT_LT(written, bytes.size());
    EXPECT_EQ(drain(), bytes.substr(0, written));
}

// The machine sees a cut command ended by the NUL that the next write puts in
// front of the next command, which then arrives whole and on its own.
TEST_F(StalledLine, ACutCommandIsEndedByANulInFrontOfTheNextCommand) {
    SerialCommandWriter writer;
    const std::string cut = withNul("kavrin_cmd:" + std::string(100000, 'T'));
    std::chrono::steady_clock::duration took{};
    EXPECT_FALSE(timed([&] { return writer.write(port, cut); }, took));
    EXPECT_TRUE(writer.owesNul());
    const std::string partial = drain();
    ASSERT_FALSE(partial.empty());
    EXPECT_LT(partial.size(), cut.size() - 1);
    EXPECT_EQ(cut.compare(0, partial.size(), partial), 0);

    fill();  // nothing goes out: the NUL is still owed
    EXPECT_FALSE(timed([&] { return writer.write(port, withNul("kavrin_key:stop")); }, took));
    EXPECT_TRUE(writer.owesNul());
    drain();

    EXPECT_TRUE(writer.write(port, withNul("kavrin_key:star")));
    EXPECT_FALSE(writer.owesNul());
    EXPECT_EQ(drain(), withNul("") + withNul("kavrin_key:star"));
    EXPECT_TRUE(writer.write(port, withNul("kavrin_key:print")));
    EXPECT_EQ(drain(), withNul("kavrin_key:print")) << "a paid NUL is not sent again";
}

TEST_F(PtyPort, OneTransmissionIsOneBurst) {
    openConfiguredPort();
    const std::string frame = "start[1,2,3,4,5,6,7,8,9,pt:{12:00:00}{a}{b}{c}]end";
    machineSends(frame);

    const Received burst = readOneBurst();
    EXPECT_EQ(burst.status, BurstStatus::Data);
    EXPECT_EQ(burst.bytes, frame);
}

TEST_F(PtyPort, SilenceSeparatesBurstsAndNothingIsDiscarded) {
    openConfiguredPort();
    machineSends("start[1,2,3,");
    const Received first = readOneBurst();
    machineSends("4,5,6,7,8,9]end");
    const Received second = readOneBurst();

    EXPECT_EQ(first.status, BurstStatus::Data);
    EXPECT_EQ(first.bytes, "start[1,2,3,");
    EXPECT_EQ(second.status, BurstStatus::Data);
    EXPECT_EQ(second.bytes, "4,5,6,7,8,9]end");
}

TEST_F(PtyPort, BurstStopsAtCapacityAndTheRestWaitsForTheNextRead) {
    openConfiguredPort();
    std::string sent;
    for (int i = 0; i < 100; ++i) {
        sent.push_back(static_cast<char>('A' + i % 26));
    }
    machineSends(sent);

    std::string received;
    for (const std::size_t expected : {40u, 40u, 20u}) {
        const Received burst = readOneBurst(40);
        EXPECT_EQ(burst.status, BurstStatus::Data);
        EXPECT_EQ(burst.bytes.size(), expected);
        received += burst.bytes;
    }
    EXPECT_EQ(received, sent);
}

TEST_F(PtyPort, WakeBeforeTheFirstByteEndsTheWaitWithoutDrainingIt) {
    openConfiguredPort();
    signalWake();

    EXPECT_EQ(readOneBurst().status, BurstStatus::Woken);
    EXPECT_TRUE(isReadable(wake)) << "the caller drains the wake descriptor";
}

TEST_F(PtyPort, WakeTakesPrecedenceButPendingBytesAreKept) {
    openConfiguredPort();
    machineSends("start[0]end");
    signalWake();

    EXPECT_EQ(readOneBurst().status, BurstStatus::Woken);
    std::uint64_t count = 0;
    ASSERT_EQ(::read(wake, &count, sizeof count), static_cast<ssize_t>(sizeof count));
    const Received burst = readOneBurst();
    EXPECT_EQ(burst.status, BurstStatus::Data);
    EXPECT_EQ(burst.bytes, "start[0]end");
}

TEST_F(PtyPort, BlockedReadIsEndedByWakeByDataAndByHangUp) {
    openConfiguredPort();
    auto woken = startRead();
    signalWake();
    EXPECT_EQ(finishRead(woken).status, BurstStatus::Woken);
    std::uint64_t count = 0;
    ASSERT_EQ(::read(wake, &count, sizeof count), static_cast<ssize_t>(sizeof count));

    auto data = startRead();
    machineSends("start[7]end");
    const Received burst = finishRead(data);
    EXPECT_EQ(burst.status, BurstStatus::Data);
    EXPECT_EQ(burst.bytes, "start[7]end");

    auto hungUp = startRead();
    closeMaster();
    EXPECT_EQ(finishRead(hungUp).status, BurstStatus::Failed);
}

TEST_F(PtyPort, HangUpAfterDataEndsInFailure) {
    openConfiguredPort();
    const std::string sent = "start[1]end";
    machineSends(sent);
    closeMaster();

    // The bytes may or may not survive the hang-up; whatever comes first is
    // what was sent, and then the port reports failure, again and again.
    std::string received;
    Received burst = readOneBurst();
    if (burst.status == BurstStatus::Data) {
        received = burst.bytes;
        burst = readOneBurst();
    }
    EXPECT_EQ(burst.status, BurstStatus::Failed);
    EXPECT_EQ(sent.substr(0, received.size()), received);
    EXPECT_EQ(readOneBurst().status, BurstStatus::Failed);
}

TEST(ReadBurst, NoPortFailsAtOnce) {
    char buffer[16];
    EXPECT_EQ(readBurst(-1, -1, buffer, sizeof buffer).status, BurstStatus::Failed);
}

}  // namespace
