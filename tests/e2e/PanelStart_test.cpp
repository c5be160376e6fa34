// The panel's start as a Linux program's: its command line, and the limits of
// open files and memory it may meet. The panel runs as its own process.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "e2e/ChildProcess.h"
#include "support/Sanitizers.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr auto kStartLimit = 20s;

class PanelStart : public testing::Test {
  protected:
    PanelStart() { fs::create_directory(home); }

    // A fresh home, and no display at all: anything that opened a window
    // would end the program with an abort.
    std::vector<std::string> environment(bool offscreen) const {
        return {"HOME=" + home.string(),
                "XDG_CONFIG_HOME=" + (home / ".config").string(),
                "DISPLAY=",
                "WAYLAND_DISPLAY=",
                std::string("QT_QPA_PLATFORM=") + (offscreen ? "offscreen" : ""),
                "TZ=UTC"};
    }

    // The panel under `shellLimits` (ulimit commands), with `args`.
    std::optional<int> run(const std::vector<std::string>& args, const std::string& shellLimits,
                           bool offscreen = false, bool thenStop = false) {
        std::string command = shellLimits + " exec \"$0\"";
        for (std::size_t i = 0; i < args.size(); ++i) {
            command += " \"$" + std::to_string(i + 1) + "\"";
        }
        std::vector<std::string> argv = {"/bin/sh", "-c", command, TOLVANE_APP_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        ChildProcess panel(SpawnOptions{argv, environment(offscreen), root / "out", root / "err"});
        if (!thenStop) {
            return panel.waitExit(kStartLimit);
        }
        const auto deadline = std::chrono::steady_clock::now() + kStartLimit;
        while (readFile(root / "out").find("enter time thread!") == std::string::npos &&
               std::chrono::steady_clock::now() < deadline) {
            if (const auto ended = panel.waitExit(50ms)) {
                return ended;
            }
        }
        return panel.terminate();
    }

    std::string out() const { return readFile(root / "out"); }
    std::string err() const { return readFile(root / "err"); }
    std::vector<std::string> namesInHome() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(home)) {
            names.push_back(entry.path().string());
        }
        return names;
    }

    TempDir root;
    const fs::path home = root / "home";
};

// --help and --version answer on standard output and end with 0, an unknown
// option is refused with 2; none of them opens a window or touches a file.
TEST_F(PanelStart, TheCommandLineAnswersWithoutAWindowOrAFile) {
    struct Case {
        std::vector<std::string> args;
        int status;
        std::vector<const char*> inOut;
        const char* inErr;  // null: nothing on standard error
    };
    const Case cases[] = {
        {{"--help"},
         0,
         {"usage: TolvaneApp", "--version", "-platform offscreen", "TolvaneApp.json", "ports/",
          "records.sqlite"},
         nullptr},
        {{"-h"}, 0, {"usage: TolvaneApp"}, nullptr},
        {{"--version"}, 0, {"TolvaneApp 1.0\n"}, nullptr},
        {{"-v"}, 0, {"TolvaneApp 1.0\n"}, nullptr},
        {{"-platform", "offscreen", "--version"}, 0, {"TolvaneApp 1.0\n"}, nullptr},
        {{"--bogus"}, 2, {}, "TolvaneApp: unknown option '--bogus'\n"},
        {{"-style", "fusion", "--frobnicate=3"}, 2, {}, "unknown option '--frobnicate=3'"},
        {{"settings.json"}, 2, {}, "unknown option 'settings.json'"},
        {{"-platform"}, 2, {}, "-platform needs a value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.args));
        const std::optional<int> status = run(c.args, "");
        ASSERT_TRUE(status.has_value()) << "still running";
        ASSERT_TRUE(WIFEXITED(*status)) << describeStatus(status) << "\n" << err();
        EXPECT_EQ(WEXITSTATUS(*status), c.status) << err();
        for (const char* text : c.inOut) {
            EXPECT_NE(out().find(text), std::string::npos) << out();
        }
        if (c.inErr == nullptr) {
            EXPECT_EQ(err(), "");
        } else {
            EXPECT_NE(err().find(c.inErr), std::string::npos) << err();
            EXPECT_EQ(out(), "");
        }
        EXPECT_TRUE(namesInHome().empty()) << ::testing::PrintToString(namesInHome());
    }
}

// A soft limit below what the panel needs is raised to the hard limit; a hard
// limit below it is a message on standard error and status 1, before any window.
TEST_F(PanelStart, ASmallOpenFilesLimitIsRaisedOrRefusedBeforeAnyWindow) {
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max != RLIM_INFINITY && limit.rlim_max < 256) {
        GTEST_SKIP() << "the hard limit here is too small to raise to";
    }
    for (const char* limits : {"ulimit -n 12;", "ulimit -n 16;", "ulimit -n 20;"}) {
        SCOPED_TRACE(limits);
        const std::optional<int> status = run({}, limits, true);
        ASSERT_TRUE(status.has_value()) << "still running";
        ASSERT_TRUE(WIFEXITED(*status)) << describeStatus(status) << "\n" << err();
        EXPECT_EQ(WEXITSTATUS(*status), 1);
        EXPECT_NE(err().find("TolvaneApp: too few open files allowed: the limit is "),
                  std::string::npos)
            << err();
        EXPECT_EQ(out(), "") << "nothing started";
    }

    const std::optional<int> raised = run({}, "ulimit -S -n 12;", true, true);
    EXPECT_NE(out().find("enter time thread!"), std::string::npos) << out() << err();
    ASSERT_TRUE(raised.has_value());
    EXPECT_TRUE(WIFEXITED(*raised) && WEXITSTATUS(*raised) == 0) << describeStatus(raised);
}

// Too little memory to start threads is a message and status 1, not an abort.
TEST_F(PanelStart, TooLittleMemoryIsAMessageNotAnAbort) {
    if (kUnderSanitizer) {
        GTEST_SKIP() << "a sanitizer needs far more address space than the limit";
    }
    // How much address space the libraries take differs from build to build:
    // of a few limits, those too small to load the program end in the loader
    // (status 127), the others start or say why they cannot; none aborts.
    int told = 0;
    for (const char* limit : {"80000", "100000", "120000"}) {
        SCOPED_TRACE(limit);
        const std::optional<int> status =
            run({}, std::string("ulimit -v ") + limit + ";", true, true);
        ASSERT_TRUE(status.has_value());
        // Started, it is stopped by the test; what must never be is an abort.
        const bool crashed =
            WIFSIGNALED(*status) && (WTERMSIG(*status) == SIGABRT || WTERMSIG(*status) == SIGSEGV);
        ASSERT_FALSE(crashed) << describeStatus(status) << "\n" << err();
        if (WIFEXITED(*status) && WEXITSTATUS(*status) == 1) {
            EXPECT_NE(err().find("TolvaneApp: cannot go on: "), std::string::npos) << err();
            ++told;
        }
    }
    EXPECT_GT(told, 0) << "no limit was small enough to stop the panel's start";
}

}  // namespace
