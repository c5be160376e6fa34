#include "link/SerialTransport.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "link/SerialReceiver.h"
#include "text/TraceSites.h"
#include "text/TraceText.h"

SerialTransport::SerialTransport(PortsEnvironment ports, TransportEvents events)
    : ports_(std::move(ports)), events_(std::move(events)) {}

SerialTransport::~SerialTransport() {
    stop();
}

void SerialTransport::changed() const {
    if (events_.changed) {
        events_.changed();
    }
}

void SerialTransport::start() {
    if (receiver_) {
        return;
    }
    receiver_ = std::make_unique<SerialReceiver>(events_.deliver, [this] {
        failed_ = true;
        changed();
    });
    receiver_->start();
    if (fd_ >= 0) {
        receiver_->setPort(fd_);
    }
}

void SerialTransport::stop() {
    close();
    if (receiver_) {
        receiver_->stop();
    }
}

void SerialTransport::close() {
    if (fd_ < 0) {
        return;
    }
    if (receiver_) {
        receiver_->setPort(-1);  // returns once the reader has let go of it
    }
    closeSerialPort(fd_);
    fd_ = -1;
    failed_ = false;
    device_.clear();
    changed();
}

void SerialTransport::release() {
    close();
    state_ = SerialState::None;
}

bool SerialTransport::choose(unsigned number) {
    close();
    number_ = number;
    changed();
    int error = 0;
    if (!openChosenPort(error)) {
        const std::string path = comPortPath(ports_, number).string();
        trace<sites::portOpenFailed>(path.c_str(), std::strerror(error),
                                     error == EACCES ? " (is the user in the dialout group?)" : "");
        state_ = SerialState::CannotOpen;
        error_ = error;
        return false;
    }
    return true;
}

SerialTransport::OpenedDevice SerialTransport::describeOpened(const std::string& path) const {
    OpenedDevice device;
    struct stat link {};
    if (::lstat(path.c_str(), &link) == 0) {
        device.linkInode = link.st_ino;
        device.linkMade = link.st_ctim;
    }
    std::error_code ec;
    const std::filesystem::path text = std::filesystem::read_symlink(path, ec);
    device.linkText = text.string();
    const std::filesystem::path leadsTo = (ports_.portsDir / text).lexically_normal().parent_path();
    device.stableName = !ec && leadsTo == (ports_.devRoot / "serial" / "by-id").lexically_normal();
    struct stat node {};
    if (::stat(path.c_str(), &node) == 0) {
        device.number = node.st_rdev;
        device.pseudoTerminal = isPseudoTerminalNumber(node.st_rdev);
    }
    return device;
}

bool SerialTransport::leadsToTheDeviceThatWentAway() const {
    const OpenedDevice now = describeOpened(comPortPath(ports_, number_).string());
    if (opened_.pseudoTerminal) {
        // A pseudo-terminal's number is given again to whoever opens the next
        // one (a terminal window): only a link made anew leads to the machine.
        return now.linkInode != opened_.linkInode ||
               now.linkMade.tv_sec != opened_.linkMade.tv_sec ||
               now.linkMade.tv_nsec != opened_.linkMade.tv_nsec;
    }
    if (now.linkText != opened_.linkText) {
        return false;  // re-pointed meanwhile: the operator chooses it again
    }
    // The adapter's stable name names that adapter; a plain device name only
    // the same device number.
    return opened_.stableName || now.number == opened_.number;
}

// Opens the chosen port's name as it leads now, raw at 2,000,000 bit/s 8N1,
// and has the receive thread serve it.
bool SerialTransport::openChosenPort(int& error) {
    const std::filesystem::path path = comPortPath(ports_, number_);
    const SerialOpenResult opened = openSerialPort(path.string());
    if (opened.fd < 0) {
        error = opened.error;
        return false;
    }
    configureSerialPort(opened.fd);
    fd_ = opened.fd;
    state_ = SerialState::Open;
    error_ = 0;
    std::error_code ignored;
    device_ = std::filesystem::canonical(path, ignored).string();
    opened_ = describeOpened(path.string());
    otherDeviceTraced_ = false;
    if (receiver_) {
        receiver_->setPort(opened.fd);
    }
    changed();
    return true;
}

void SerialTransport::takeFailure() {
    if (failed_.exchange(false) && fd_ >= 0) {
        wentAway();
    }
}

// The open port stopped working (unplugged, hung up, its name removed): it is
// closed and waits, with no thread awake, for a port event naming a device.
// The device may be back already, so one attempt is made at once.
void SerialTransport::wentAway() {
    trace<sites::portWentAway>(number_);
    close();
    state_ = SerialState::Away;
    lookAtPort();
}

// Compares the chosen port's name with what is open: a name that no longer
// leads to the open device means the device went away; a port waiting for
// its device is reopened once the name leads to one again.
void SerialTransport::lookAtPort() {
    if (state_ == SerialState::Open) {
        struct stat named {};
        struct stat held {};
        const std::string path = comPortPath(ports_, number_).string();
        const bool same = ::stat(path.c_str(), &named) == 0 && ::fstat(fd_, &held) == 0 &&
                          named.st_rdev == held.st_rdev;
        if (!same) {
            wentAway();
        }
        return;
    }
    if (state_ != SerialState::Away) {
        return;
    }
    struct stat there {};
    const std::string path = comPortPath(ports_, number_).string();
    if (::stat(path.c_str(), &there) != 0 || !S_ISCHR(there.st_mode)) {
        return;  // nothing there yet
    }
    if (!leadsToTheDeviceThatWentAway()) {
        if (!otherDeviceTraced_) {
            otherDeviceTraced_ = true;
            trace<sites::portLeadsElsewhere>(number_);
        }
        return;
    }
    int error = 0;
    if (openChosenPort(error)) {
        trace<sites::portBack>(number_);
    }
}

// A port waiting for its device takes nothing: the command fails as a write
// to an unplugged port would, and nothing is kept for later. The trace line
// keeps the name operators' scripts match it by.
SendResult SerialTransport::send(std::string_view command) {
    SendResult result = state_ == SerialState::Away ? SendResult::WriteFailed : SendResult::Dropped;
    if (fd_ >= 0) {
        result = writer_.write(fd_, command) ? SendResult::Sent : SendResult::WriteFailed;
    }
    const std::string_view text = command.substr(0, command.size() - 1);
    trace<sites::uartCommand>(traceSafe(text).c_str());
    return result;
}

void SerialTransport::describe(LinkStatus& status) const {
    status.serialPort = number_;
    status.serial = state_;
    status.serialOpen = fd_ >= 0;
    status.serialError = error_;
    status.serialDevice = device_;
}
