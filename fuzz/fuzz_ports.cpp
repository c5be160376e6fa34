// Any names at all in the ports folder: discovery must list exactly the port
// names whose links lead to a terminal, each with its number, ascending.
//
// Input: four bytes choose each name's link target (two bits per name, name k
// uses bits 2k and 2k+1), the rest is up to 16 names separated by '\n'.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzCheck.h"
#include "link/SerialPortNames.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxNames = 16;

struct Folders {
    fs::path base;
    PortsEnvironment env;
    fs::path targets[4];
};

// What a name's link points at; only a terminal leads to a port.
enum Target { kTerminal, kMissing, kFolder, kPlainFile };

Folders makeFolders() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp != nullptr && tmp[0] == '/' ? tmp : "/tmp") + "/fuzz_ports.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        std::abort();
    }
    Folders folders;
    folders.base = pattern;
    folders.env.portsDir = folders.base / "ports";
    folders.env.devRoot = folders.base / "dev";
    folders.env.sysRoot = folders.base / "sys";
    fs::create_directories(folders.env.portsDir);
    fs::create_directories(folders.env.devRoot);
    fs::create_directories(folders.env.sysRoot);
    // A pseudo-terminal kept open for the whole run: a terminal device.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    FUZZ_CHECK(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    folders.targets[kTerminal] = ::ptsname(master);
    folders.targets[kMissing] = folders.base / "missing";
    folders.targets[kFolder] = folders.base / "folder";
    folders.targets[kPlainFile] = folders.base / "plain";
    fs::create_directories(folders.targets[kFolder]);
    FILE* plain = std::fopen(folders.targets[kPlainFile].c_str(), "w");
    FUZZ_CHECK(plain != nullptr);
    std::fclose(plain);
    return folders;
}

const Folders& folders() {
    static const Folders made = makeFolders();
    static const bool cleanupRegistered = [] {
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(made.base, ec);
        });
        return true;
    }();
    (void)cleanupRegistered;
    return made;
}

// The port-name rule spelt out: "COM" and the decimal text of a number from
// 1 to 255, nothing else.
std::optional<unsigned> referenceNumber(const std::string& name) {
    for (unsigned number = 1; number <= 255; ++number) {
        if (name == "COM" + std::to_string(number)) {
            return number;
        }
    }
    return std::nullopt;
}

void emptyFolder(const fs::path& folder) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        fs::remove_all(entry.path());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const Folders& f = folders();
    emptyFolder(f.env.portsDir);

    uint32_t targetBits = 0;
    const std::size_t header = std::min<std::size_t>(size, 4);
    if (header > 0) {
        std::memcpy(&targetBits, data, header);
    }
    std::string_view rest(reinterpret_cast<const char*>(data) + header, size - header);

    std::vector<unsigned> expected;
    std::size_t created = 0;
    for (std::size_t k = 0; k < kMaxNames && !rest.empty(); ++k) {
        const std::size_t newline = rest.find('\n');
        const std::string name(rest.substr(0, newline));
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        // A file name cannot hold '/' or NUL.
        if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) {
            continue;
        }
        const Target target = static_cast<Target>((targetBits >> (2 * k)) & 3u);
        if (::symlink(f.targets[target].c_str(), (f.env.portsDir / name).c_str()) != 0) {
            continue;  // empty, ".", "..", too long or a repeated name
        }
        ++created;
        const std::optional<unsigned> number = referenceNumber(name);
        if (number && target == kTerminal) {
            expected.push_back(*number);
        }
    }
    std::sort(expected.begin(), expected.end());

    const std::vector<unsigned> ports = listSerialPorts(f.env);
    FUZZ_CHECK(std::is_sorted(ports.begin(), ports.end()));
    FUZZ_CHECK(std::none_of(ports.begin(), ports.end(), [](unsigned n) { return n == 0; }));
    FUZZ_CHECK(ports == expected);

    // Every number listed opens through a name of the folder that carries it.
    for (const unsigned number : ports) {
        const fs::path path = comPortPath(f.env, number);
        unsigned parsed = 0;
        FUZZ_CHECK(path.parent_path() == f.env.portsDir);
        FUZZ_CHECK(parseComName(path.filename().native(), parsed) && parsed == number);
        std::error_code ec;
        FUZZ_CHECK(fs::is_symlink(fs::symlink_status(path, ec)) && fs::exists(path, ec));
    }

    // No devices under the empty roots: discovery names nothing new.
    std::size_t entries = 0;
    for (auto it = fs::directory_iterator(f.env.portsDir); it != fs::directory_iterator(); ++it) {
        ++entries;
    }
    FUZZ_CHECK(entries == created);
    return 0;
}
