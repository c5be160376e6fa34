#include "link/SerialPortNames.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "support/Pty.h"
#include "support/ScopedEnv.h"

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

struct NameCase {
    std::string name;
    std::optional<unsigned> number;  // nullopt: not a port name
};

// A port name is exactly "COM" and a number from 1 to 255 without leading
// zeros: anything looser would offer a second COM5 beside the real one.
TEST(ParseComName, IsComAndANumberFromOneTo255) {
    const std::vector<NameCase> cases = {
        {"COM1", 1u},
        {"COM3", 3u},
        {"COM10", 10u},
        {"COM255", 255u},
        {"COM5x", std::nullopt},
        {"COM11 ", std::nullopt},
        {"COM12\n", std::nullopt},
        {"com13", std::nullopt},
        {"Com7", std::nullopt},
        {"COM 14", std::nullopt},
        {" COM4", std::nullopt},
        {"COM05", std::nullopt},
        {"COM007", std::nullopt},
        {"COM+4", std::nullopt},
        {"COM256", std::nullopt},
        {"COM1000", std::nullopt},
        {"", std::nullopt},
        {"CO", std::nullopt},
        {"COM", std::nullopt},
        {"COM0", std::nullopt},
        {"COM00", std::nullopt},
        {"COMA", std::nullopt},
        {"COM-3", std::nullopt},
        {"XCOM3", std::nullopt},
        {"COM2147483648", std::nullopt},
        {"COM4294967299", std::nullopt},
    };
    for (const NameCase& c : cases) {
        unsigned number = 12345;
        const bool isPort = parseComName(c.name, number);
        EXPECT_EQ(isPort, c.number.has_value()) << c.name;
        EXPECT_EQ(number, c.number.value_or(12345)) << c.name;
    }
}

fs::path makeTempRoot() {
    std::string pattern = (fs::temp_directory_path() / "tolvane-ports-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        return {};
    }
    return pattern;
}

void writeText(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

// A ports folder with fake /dev and /sys trees. Device nodes are plain files:
// naming and listing only look at names and links.
class PortsFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        root = makeTempRoot();
        ASSERT_FALSE(root.empty());
        env.portsDir = root / "config" / "Tolvane" / "ports";
        env.devRoot = root / "dev";
        env.sysRoot = root / "sys";
        fs::create_directories(env.devRoot);
        fs::create_directories(env.sysRoot);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(root, ec);
    }

    fs::path dev(const std::string& name) const { return env.devRoot / name; }
    fs::path port(const std::string& name) const { return env.portsDir / name; }

    void plug(const std::string& node) { writeText(dev(node), ""); }
    void unplug(const std::string& node) { fs::remove(dev(node)); }

    // A udev-style link in <dev>/serial/<kind>/ pointing at ../../<node>.
    fs::path addSerialLink(const std::string& kind, const std::string& link,
                           const std::string& node) {
        const fs::path folder = env.devRoot / "serial" / kind;
        fs::create_directories(folder);
        fs::create_symlink(fs::path("../..") / node, folder / link);
        return folder / link;
    }
    fs::path plugAdapter(const std::string& node, const std::string& byId) {
        plug(node);
        return addSerialLink("by-id", byId, node);
    }
    void unplugAdapter(const std::string& node, const std::string& byId) {
        unplug(node);
        fs::remove(env.devRoot / "serial" / "by-id" / byId);
    }

    void addName(const std::string& name, const fs::path& target) {
        fs::create_directories(env.portsDir);
        fs::create_symlink(target, port(name));
    }
    fs::path nameTarget(const std::string& name) const {
        std::error_code ec;
        return fs::read_symlink(port(name), ec);
    }
    std::vector<std::string> folderNames() const {
        std::vector<std::string> names;
        std::error_code ec;
        for (fs::directory_iterator it(env.portsDir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec)) {
            names.push_back(it->path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::vector<unsigned> enumerate() const { return listSerialPorts(env); }

    // Fake sysfs: <sys>/class/tty/ttyS<k>/device -> <host>, <host>/driver -> <driver>.
    fs::path ttyClass(unsigned line) const {
        return env.sysRoot / "class" / "tty" / ("ttyS" + std::to_string(line));
    }
    void setUartType(unsigned line, const std::string& type) {
        writeText(ttyClass(line) / "type", type);
    }
    void setHost(unsigned line, const fs::path& host, const fs::path& driver) {
        fs::create_directories(ttyClass(line));
        fs::create_directories(env.sysRoot / host);
        fs::create_directories(env.sysRoot / driver);
        std::error_code ec;
        fs::create_symlink(env.sysRoot / driver, env.sysRoot / host / "driver", ec);
        fs::create_symlink(env.sysRoot / host, ttyClass(line) / "device");
    }

    fs::path root;
    PortsEnvironment env;
};

TEST_F(PortsFolder, ListsNamesThatLeadToDevicesInAscendingOrder) {
    plug("lineA");
    plug("lineB");
    plug("lineC");
    addName("COM3", dev("lineA"));
    addName("COM10", dev("lineB"));
    addName("COM7", dev("lineC"));

    EXPECT_THAT(enumerate(), ElementsAre(3u, 7u, 10u));
}

// Loose names beside a real COM5 are not offered as a second COM5 (or as
// anything); each is traced once, not at every listing.
TEST_F(PortsFolder, OtherNamesAreIgnoredAndTracedOnce) {
    plug("lineA");
    addName("COM5", dev("lineA"));
    const std::vector<std::string> loose = {"COM5x", "COM11 ", "COM12\n",
                                            "com13", "COM 14", "COM05"};
    for (const std::string& name : loose) {
        addName(name, dev("lineA"));
    }
    IgnoredPortNames ignored;
    testing::internal::CaptureStdout();
    EXPECT_THAT(listSerialPorts(env, &ignored), ElementsAre(5u));
    const std::string trace = testing::internal::GetCapturedStdout();
    for (const char* shown : {"COM5x", "COM11 ", "COM12\\x0a", "com13", "COM 14", "COM05"}) {
        EXPECT_THAT(trace,
                    testing::HasSubstr(std::string("D:[listSerialPorts,1]ports folder entry \"") +
                                       shown + "\" ignored: a port name is COM1 to COM255\r\n"));
    }
    EXPECT_EQ(std::count(trace.begin(), trace.end(), '\n'), 6);

    testing::internal::CaptureStdout();
    EXPECT_THAT(listSerialPorts(env, &ignored), ElementsAre(5u));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST_F(PortsFolder, JunkInTheFolderIsSkippedHarmlessly) {
    plug("lineA");
    for (const char* name :
         {"COM", "COM0", "COMA", "COM-2", "COM99999999999", "foo", "\x01\xff", "COM\n", ".COM3"}) {
        addName(name, dev("lineA"));
    }
    addName("COM12X", dev("lineA"));
    addName("COM 4", dev("lineA"));
    addName("COM4", dev("lineA"));
    addName("COM5", dev("unplugged"));  // the device is not there now
    addName("COM9", env.devRoot);       // a folder is not a device
    addName("COM11", "COM11");          // a link to itself
    fs::create_directories(port("COM6"));
    writeText(port("COM8"), "not a link");
    addName("COM" + std::string(240, '9'), dev("lineA"));

    EXPECT_THAT(enumerate(), ElementsAre(4u));
}

TEST_F(PortsFolder, MissingFolderIsCreatedForTheUserAlone) {
    EXPECT_THAT(enumerate(), IsEmpty());

    struct stat info {};
    ASSERT_EQ(::stat(env.portsDir.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(PortsFolder, FolderThatCannotBeMadeGivesNoPorts) {
    writeText(root / "config", "a file where the folder should be");
    plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");

    EXPECT_THAT(enumerate(), IsEmpty());
}

TEST_F(PortsFolder, AdapterKeepsItsNumberAcrossUnplugAndSocketChange) {
    const fs::path adapterA = plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");
    EXPECT_THAT(enumerate(), ElementsAre(3u));
    EXPECT_EQ(nameTarget("COM3"), adapterA);

    unplugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");
    EXPECT_THAT(enumerate(), IsEmpty());
    EXPECT_EQ(nameTarget("COM3"), adapterA) << "a name stays when its device is away";

    const fs::path adapterB = plugAdapter("ttyUSB0", "usb-Maker_Adapter_B2-if00-port0");
    EXPECT_THAT(enumerate(), ElementsAre(4u)) << "number 3 still belongs to adapter A";
    EXPECT_EQ(nameTarget("COM4"), adapterB);

    plugAdapter("ttyUSB1", "usb-Maker_Adapter_A1-if00-port0");
    EXPECT_THAT(enumerate(), ElementsAre(3u, 4u));
    EXPECT_THAT(folderNames(), ElementsAre("COM3", "COM4"));
}

TEST_F(PortsFolder, AdaptersFoundTogetherAreNumberedByTheirStableNames) {
    const fs::path second = plugAdapter("ttyUSB0", "usb-Maker_Adapter_B2-if00-port0");
    const fs::path first = plugAdapter("ttyACM0", "usb-Maker_Adapter_A1-if00");

    EXPECT_THAT(enumerate(), ElementsAre(3u, 4u));
    EXPECT_EQ(nameTarget("COM3"), first);
    EXPECT_EQ(nameTarget("COM4"), second);
}

TEST_F(PortsFolder, NewAdapterTakesTheLowestNumberNoNameHolds) {
    addName("COM3", dev("gone"));
    writeText(port("COM4"), "");
    addName("COM6", dev("gone"));
    addName("COM1", dev("gone"));
    const fs::path adapter = plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");

    EXPECT_THAT(enumerate(), ElementsAre(5u));
    EXPECT_EQ(nameTarget("COM5"), adapter);
}

struct StableLinkCase {
    bool byId;
    bool byPath;
    std::string expectedFolder;  // empty: the device node itself
};

TEST_F(PortsFolder, AdapterIsNamedByIdElseByPathElseByNode) {
    const std::vector<StableLinkCase> cases = {
        {true, true, "serial/by-id"},
        {false, true, "serial/by-path"},
        {false, false, ""},
    };
    for (const StableLinkCase& c : cases) {
        fs::remove_all(env.portsDir);
        fs::remove_all(env.devRoot);
        plug("ttyACM0");
        if (c.byId) {
            addSerialLink("by-id", "usb-Maker_Modem_M9-if00", "ttyACM0");
        }
        if (c.byPath) {
            addSerialLink("by-path", "pci-0000:00:14.0-usb-0:2:1.0", "ttyACM0");
        }
        EXPECT_THAT(enumerate(), ElementsAre(3u));
        const fs::path target = nameTarget("COM3");
        if (c.expectedFolder.empty()) {
            EXPECT_EQ(target, dev("ttyACM0"));
        } else {
            EXPECT_EQ(target.parent_path(), env.devRoot / c.expectedFolder);
        }
    }
}

TEST_F(PortsFolder, DeviceAlreadyNamedByTheUserGetsNoSecondName) {
    plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");
    plugAdapter("ttyUSB1", "usb-Maker_Adapter_B2-if00-port0");
    addName("COM8", dev("ttyUSB0"));
    addName("COM9", fs::path("../../../dev/ttyUSB1"));  // relative to the folder

    EXPECT_THAT(enumerate(), ElementsAre(8u, 9u));
    EXPECT_THAT(folderNames(), ElementsAre("COM8", "COM9"));
}

TEST_F(PortsFolder, DiscoveryTwiceChangesNothing) {
    plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");
    plug("ttyS0");
    setUartType(0, "4\n");

    EXPECT_THAT(enumerate(), ElementsAre(1u, 3u));
    EXPECT_THAT(enumerate(), ElementsAre(1u, 3u));
    EXPECT_THAT(folderNames(), ElementsAre("COM1", "COM3"));
}

TEST_F(PortsFolder, OnlyOnboardLinesWithAUartAreNamed) {
    // ttyS0: 16550A; ttyS1: type unknown; ttyS2: legacy placeholder on the
    // serial8250 platform device; ttyS3: a PNP UART whose type is not
    // readable; ttyS4: nothing in sysfs; ttyS5: placeholder on a kernel with
    // the serial-base bus.
    for (unsigned line = 0; line <= 5; ++line) {
        plug("ttyS" + std::to_string(line));
    }
    setUartType(0, "4\n");
    setUartType(1, "0\n");
    setHost(2, "devices/platform/serial8250", "bus/platform/drivers/serial8250");
    setHost(3, "devices/pnp0/00:04", "bus/pnp/drivers/serial");
    setHost(5, "devices/platform/serial8250/serial8250:0/serial8250:0.5",
            "bus/serial-base/drivers/port");
    const fs::path adapter = plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");

    EXPECT_THAT(enumerate(), ElementsAre(1u, 3u, 4u));
    EXPECT_EQ(nameTarget("COM1"), dev("ttyS0"));
    EXPECT_EQ(nameTarget("COM4"), dev("ttyS3"));
    EXPECT_EQ(nameTarget("COM3"), adapter) << "a placeholder line holds no number";
}

TEST_F(PortsFolder, OnboardLineWhoseNumberIsTakenStaysUnnamed) {
    plug("lineA");
    addName("COM1", dev("lineA"));
    plug("ttyS0");
    setUartType(0, "4\n");

    EXPECT_THAT(enumerate(), ElementsAre(1u));
    EXPECT_EQ(nameTarget("COM1"), dev("lineA"));
    EXPECT_THAT(folderNames(), ElementsAre("COM1"));
}

TEST_F(PortsFolder, ConsolesAndPseudoTerminalsAreNotSerialDevices) {
    for (const char* node : {"tty", "tty0", "tty12", "console", "ptmx", "ttyprintk", "ttyUSB",
                             "ttyUSBx", "ttyS", "ttyS1a", "ttyACM-1", "xttyUSB0"}) {
        plug(node);
    }
    fs::create_directories(dev("pts"));
    plug("pts/0");
    fs::create_directories(dev("ttyUSB7"));  // a folder is not a device

    EXPECT_THAT(enumerate(), IsEmpty());
    EXPECT_THAT(folderNames(), IsEmpty());
}

// Commands written to the kernel's console would land on the console: it is
// neither named nor offered, also when an earlier run named it.
TEST_F(PortsFolder, TheKernelConsoleIsNeverOffered) {
    struct Case {
        const char* what;
        std::optional<std::string> consoleFlag;  // <sys>/class/tty/ttyS0/console
        std::optional<std::string> active;       // <sys>/class/tty/console/active
        bool offered;
    };
    const std::vector<Case> cases = {
        {"flag Y", "Y\n", std::nullopt, false},
        {"named among the active consoles", "N\n", "tty0 ttyS0\n", false},
        {"the only active console", std::nullopt, "ttyS0", false},
        {"flag N, another console", "N\n", "tty0 ttyS01 ttyS\n", true},
        {"nothing in sysfs", std::nullopt, std::nullopt, true},
    };
    for (const Case& c : cases) {
        for (const bool namedBefore : {false, true}) {
            fs::remove_all(env.portsDir);
            fs::remove_all(env.sysRoot);
            plug("ttyS0");
            setUartType(0, "4\n");
            if (namedBefore) {
                addName("COM1", dev("ttyS0"));
            }
            if (c.consoleFlag) {
                writeText(ttyClass(0) / "console", *c.consoleFlag);
            }
            if (c.active) {
                writeText(env.sysRoot / "class" / "tty" / "console" / "active", *c.active);
            }
            const std::vector<unsigned> expected =
                c.offered ? std::vector<unsigned>{1u} : std::vector<unsigned>{};
            EXPECT_EQ(enumerate(), expected) << c.what << (namedBefore ? ", named before" : "");
            EXPECT_EQ(fs::is_symlink(port("COM1")), c.offered || namedBefore) << c.what;
        }
    }
}

TEST_F(PortsFolder, AnAdapterThatIsTheConsoleIsNeitherNamedNorOffered) {
    plugAdapter("ttyUSB0", "usb-Maker_Adapter_A1-if00-port0");
    plugAdapter("ttyUSB1", "usb-Maker_Adapter_B2-if00-port0");
    writeText(env.sysRoot / "class" / "tty" / "console" / "active", "ttyUSB0 tty0\n");

    EXPECT_THAT(enumerate(), ElementsAre(3u));
    EXPECT_EQ(nameTarget("COM3"),
              env.devRoot / "serial" / "by-id" / "usb-Maker_Adapter_B2-if00-port0");
    EXPECT_THAT(folderNames(), ElementsAre("COM3"));
}

// Only terminal devices are offered: a pseudo-terminal's other end, or a
// character device the kernel lists as a terminal; never /dev/zero, /dev/null,
// a FIFO, a regular file, /dev/ptmx, /dev/tty or a console, whatever sysfs says.
TEST_F(PortsFolder, OnlyTerminalDevicesAreOffered) {
    const Pty pty;
    ASSERT_EQ(::mkfifo((root / "fifo").c_str(), 0600), 0);
    writeText(root / "plain", "");
    // The kernel's tty class, as sysfs shows it, for /dev/full (1:7), /dev/ptmx
    // (5:2) and /dev/tty (5:0).
    fs::create_directories(env.sysRoot / "class" / "tty");
    for (const char* number : {"1:7", "5:2", "5:0"}) {
        const fs::path entry = env.sysRoot / "dev" / "char" / number;
        fs::create_directories(entry);
        fs::create_symlink(env.sysRoot / "class" / "tty", entry / "subsystem");
    }
    addName("COM1", "/dev/zero");
    addName("COM2", "/dev/null");
    addName("COM3", root / "fifo");
    addName("COM4", root / "plain");
    addName("COM5", "/dev/ptmx");
    addName("COM6", "/dev/tty");
    addName("COM7", "/dev/console");
    addName("COM8", "/dev/tty0");
    addName("COM9", pty.slavePath());
    addName("COM10", "/dev/full");

    EXPECT_THAT(enumerate(), ElementsAre(9u, 10u));
}

TEST_F(PortsFolder, PortPathIsTheNameInTheFolder) {
    plug("lineA");
    addName("COM8", dev("lineA"));
    EXPECT_EQ(comPortPath(env, 8), port("COM8"));
    EXPECT_EQ(comPortPath(env, 12), port("COM12"));
}

TEST(DefaultPortsEnvironment, FollowsXdgConfigHomeElseHome) {
    const ScopedEnv config("XDG_CONFIG_HOME", "/srv/config");
    const ScopedEnv home("HOME", "/home/operator");
    EXPECT_EQ(defaultPortsEnvironment().portsDir, fs::path("/srv/config/Tolvane/ports"));

    config.set(nullptr);
    EXPECT_EQ(defaultPortsEnvironment().portsDir, fs::path("/home/operator/.config/Tolvane/ports"));

    config.set("relative/config");  // not absolute: ignored
    EXPECT_EQ(defaultPortsEnvironment().portsDir, fs::path("/home/operator/.config/Tolvane/ports"));

    const PortsEnvironment env = defaultPortsEnvironment();
    EXPECT_EQ(env.devRoot, fs::path("/dev"));
    EXPECT_EQ(env.sysRoot, fs::path("/sys"));
}

}  // namespace
