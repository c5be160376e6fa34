#include "PortsFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

#include "os/UserFolders.h"

namespace sim {

namespace {

std::optional<std::string> linkTarget(const std::string& path) {
    std::string buffer(4096, '\0');
    const ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size());
    if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) {
        return std::nullopt;
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

bool isStaleTerminalLink(const std::string& path) {
    const auto target = linkTarget(path);
    struct stat info {};
    return target && target->starts_with("/dev/pts/") && stat(path.c_str(), &info) != 0 &&
           errno == ENOENT;
}

}  // namespace

std::string portsFolder() {
    return (panelConfigFolder() / "ports").string();
}

std::string claimPortLink(const std::string& folder, const std::string& name,
                          const std::string& target) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        return "cannot create " + folder + ": " + ec.message();
    }
    const std::string path = folder + "/" + name;
    if (symlink(target.c_str(), path.c_str()) == 0) {
        return {};
    }
    if (errno != EEXIST) {
        return "cannot create " + path + ": " + std::strerror(errno);
    }
    // A killed simulator's link may name the very terminal number that was
    // just handed out again. It is made anew all the same: a panel reopens a
    // pseudo-terminal by itself only through a link made after it went away.
    if (linkTarget(path) != target && !isStaleTerminalLink(path)) {
        return path + " already exists and is not a leftover of this simulator; " +
               "choose another COM number or remove it";
    }
    const std::string fresh = path + ".new-" + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0 || rename(fresh.c_str(), path.c_str()) != 0) {
        const int error = errno;
        unlink(fresh.c_str());
        return "cannot replace the stale link " + path + ": " + std::strerror(error);
    }
    return {};
}

void releasePortLink(const std::string& folder, const std::string& name,
                     const std::string& target) {
    const std::string path = folder + "/" + name;
    if (linkTarget(path) == target) {
        unlink(path.c_str());
    }
}

}  // namespace sim
