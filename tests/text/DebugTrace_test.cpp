#include "text/DebugTrace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "text/TraceSites.h"

namespace {

// A site's format checked against its arguments when the trace compiles.
using traceformat::formatTakes;
static_assert(formatTakes<>("is first "));
static_assert(formatTakes<>("100%% sure"));
static_assert(formatTakes<const char*, std::size_t>("%s: %zu bytes"));
static_assert(formatTakes<char*>("%s"));
static_assert(formatTakes<unsigned, unsigned long long>("COM%u, %llu in all"));
static_assert(formatTakes<int, long, double>("%-4d %08ld %.2f"));
static_assert(!formatTakes<>("%s"), "an argument missing");
static_assert(!formatTakes<const char*, int>("%s"), "an argument too many");
static_assert(!formatTakes<int>("%zu"), "int for size_t");
static_assert(!formatTakes<unsigned>("%llu"), "unsigned for unsigned long long");
static_assert(!formatTakes<long long>("%d"), "long long for int");
static_assert(!formatTakes<const char*>("%ls"), "wide text");
static_assert(!formatTakes<int>("%n"), "a conversion that writes");
static_assert(!formatTakes<int>("%"), "a format cut short");

// The line of a test's own; the catalogue's are the panel's.
constexpr TraceSite kThreadLine{"tmRxUartTask", 472, "=====>\r\n{%d-%s}\r\n"};

TEST(DebugTrace, WritesHeadMessageAndLineEnd) {
    testing::internal::CaptureStdout();
    trace<sites::netCommand>("kavrin_key:print");
    trace<sites::firstRun>();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "D:[CTolvaneAppDlg::tmSendMsg,799]net cmd:\r\nkavrin_key:print\r\n"
              "D:[CTolvaneAppDlg::OnInitDialog,550]is first \r\n");
}

TEST(DebugTrace, LinesFromManyThreadsStayWhole) {
    testing::internal::CaptureStdout();
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([t] {
            for (int i = 0; i < 200; ++i) {
                trace<kThreadLine>(t, "0123456789012345678901234567890123456789");
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string tail = "-0123456789012345678901234567890123456789}\r\n\r\n";
    std::size_t lines = 0;
    for (std::size_t at = 0; at < out.size(); ++lines) {
        ASSERT_EQ(out.compare(at, 29, "D:[tmRxUartTask,472]=====>\r\n{"), 0) << "at " << at;
        const std::size_t end = out.find(tail, at);
        ASSERT_EQ(end, at + 30) << "a line was broken at " << at;
        at = end + tail.size();
    }
    EXPECT_EQ(lines, 800u);
}

}  // namespace
