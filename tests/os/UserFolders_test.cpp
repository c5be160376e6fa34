// Where the user's files live: one answer for the home folder, followed by the
// settings file, the ports folder and the record folder alike.
#include <gtest/gtest.h>

#include <string>

#include "link/SerialPortNames.h"
#include "os/UserFolders.h"
#include "settings/SettingsStore.h"
#include "settings/SettingsTable.h"
#include "support/ScopedEnv.h"

namespace {

namespace fs = std::filesystem;

TEST(HomeFolder, EnvironmentThenPasswordDatabaseThenRoot) {
    struct Case {
        const char* home;
        const char* databaseHome;
        const char* expected;
    };
    const Case cases[] = {
        {"/home/op", "/home/db", "/home/op"},
        {"relative/home", nullptr, "relative/home"},  // $HOME is taken as it stands
        {"", "/home/db", "/home/db"},
        {nullptr, "/home/db", "/home/db"},
        {nullptr, "db-relative", "/"},  // never a path relative to the working folder
        {nullptr, "", "/"},
        {"", nullptr, "/"},
        {nullptr, nullptr, "/"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.home ? c.home : "(none)") << " / "
                                        << (c.databaseHome ? c.databaseHome : "(none)"));
        EXPECT_EQ(chooseHomeFolder(c.home, c.databaseHome), fs::path(c.expected));
    }
}

// The settings file, the ports folder and the record folder's default follow
// one lookup, with or without $HOME and $XDG_CONFIG_HOME.
TEST(PanelConfigFolder, SettingsPortsAndRecordsAgree) {
    struct Case {
        const char* home;
        const char* config;
        const char* folder;  // nullptr: below the password database's home folder
    };
    const Case cases[] = {
        {"/home/op", nullptr, "/home/op/.config/Tolvane"},
        {"/home/op", "/srv/cfg", "/srv/cfg/Tolvane"},
        {"/home/op", "relative/cfg", "/home/op/.config/Tolvane"},
        {nullptr, "/srv/cfg", "/srv/cfg/Tolvane"},
        {nullptr, nullptr, nullptr},
        {"", "", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.home ? c.home : "(unset)") << " " << (c.config ? c.config : "(unset)"));
        ScopedEnv home("HOME", c.home);
        ScopedEnv config("XDG_CONFIG_HOME", c.config);
        const fs::path folder = panelConfigFolder();
        if (c.folder != nullptr) {
            EXPECT_EQ(folder, fs::path(c.folder));
        } else {
            EXPECT_TRUE(folder.is_absolute()) << folder;
            EXPECT_EQ(folder, userHomeFolder() / ".config" / "Tolvane");
        }
        EXPECT_EQ(SettingsStore::defaultPath(), folder / "TolvaneApp.json");
        EXPECT_EQ(defaultPortsEnvironment().portsDir, folder / "ports");
        std::string home8 = userHomeFolder().string();
        if (home8.back() != '/') {
            home8 += '/';
        }
        EXPECT_EQ(homeFolderDefault().toStdString(), home8);
    }
}

}  // namespace
