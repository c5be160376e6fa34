#include "PortsFolder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/ScopedEnv.h"

namespace {

class PortsFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/tolvane-sim-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        folder_ = root_ + "/Tolvane/ports";
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    std::string target(const std::string& name) const {
        std::error_code ec;
        return std::filesystem::read_symlink(folder_ + "/" + name, ec).string();
    }

    std::string root_;
    std::string folder_;
};

}  // namespace

TEST_F(PortsFolderTest, FolderFollowsXdgConfigHome) {
    const ScopedEnv home("HOME", "/home/operator");
    const ScopedEnv config("XDG_CONFIG_HOME", root_.c_str());
    EXPECT_EQ(sim::portsFolder(), folder_);
    config.set("relative");  // not absolute: ignored
    EXPECT_EQ(sim::portsFolder(), "/home/operator/.config/Tolvane/ports");
}

TEST_F(PortsFolderTest, ClaimsAndReleasesItsOwnLink) {
    EXPECT_EQ(sim::claimPortLink(folder_, "COM7", "/dev/pts/5"), "");
    EXPECT_EQ(target("COM7"), "/dev/pts/5");
    sim::releasePortLink(folder_, "COM7", "/dev/pts/5");
    EXPECT_FALSE(std::filesystem::is_symlink(folder_ + "/COM7"));
}

TEST_F(PortsFolderTest, NeverReplacesAForeignEntry) {
    std::filesystem::create_directories(folder_);
    std::ofstream(folder_ + "/COM1") << "keep";
    ASSERT_EQ(symlink("/dev/null", (folder_ + "/COM2").c_str()), 0);
    ASSERT_EQ(symlink("/dev/ttyUSB-missing", (folder_ + "/COM3").c_str()), 0);

    EXPECT_NE(sim::claimPortLink(folder_, "COM1", "/dev/pts/5"), "");
    EXPECT_NE(sim::claimPortLink(folder_, "COM2", "/dev/pts/5"), "");
    EXPECT_NE(sim::claimPortLink(folder_, "COM3", "/dev/pts/5"), "");
    EXPECT_FALSE(std::filesystem::is_symlink(folder_ + "/COM1"));
    EXPECT_EQ(target("COM2"), "/dev/null");
    EXPECT_EQ(target("COM3"), "/dev/ttyUSB-missing");

    // Releasing removes only a link that still points to the releaser's terminal.
    sim::releasePortLink(folder_, "COM2", "/dev/pts/5");
    EXPECT_EQ(target("COM2"), "/dev/null");
}

TEST_F(PortsFolderTest, ReplacesALeftoverLinkToAVanishedTerminal) {
    std::filesystem::create_directories(folder_);
    ASSERT_EQ(symlink("/dev/pts/999999", (folder_ + "/COM4").c_str()), 0);
    EXPECT_EQ(sim::claimPortLink(folder_, "COM4", "/dev/pts/5"), "");
    EXPECT_EQ(target("COM4"), "/dev/pts/5");
    // The next simulator may be handed the same terminal number again: the
    // link is made anew, so a panel waiting for COM4 knows it is not a
    // stranger's terminal under the old link.
    struct stat before {};
    ASSERT_EQ(lstat((folder_ + "/COM4").c_str(), &before), 0);
    EXPECT_EQ(sim::claimPortLink(folder_, "COM4", "/dev/pts/5"), "");
    struct stat after {};
    ASSERT_EQ(lstat((folder_ + "/COM4").c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(target("COM4"), "/dev/pts/5");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_),
                            std::filesystem::directory_iterator()),
              1);
}
