#include "os/UserFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The password database's home folder of this user; empty when there is none.
std::string homeFromPasswordDatabase() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
        return found->pw_dir;
    }
    return {};
}

}  // namespace

fs::path chooseHomeFolder(const char* home, const char* databaseHome) {
    if (home != nullptr && home[0] != '\0') {
        return home;
    }
    if (databaseHome != nullptr && databaseHome[0] == '/') {
        return databaseHome;
    }
    return "/";
}

fs::path userHomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] != '\0') {
        return chooseHomeFolder(home, nullptr);  // the password database is not asked
    }
    return chooseHomeFolder(nullptr, homeFromPasswordDatabase().c_str());
}

fs::path panelConfigFolder() {
    const char* config = std::getenv("XDG_CONFIG_HOME");
    // Relative values are invalid for XDG_CONFIG_HOME and are ignored.
    const fs::path base =
        config != nullptr && config[0] == '/' ? fs::path(config) : userHomeFolder() / ".config";
    return base / "Tolvane";
}
