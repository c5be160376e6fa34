#include "text/DebugTrace.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(DebugTrace, WritesHeadMessageAndLineEnd) {
    testing::internal::CaptureStdout();
    DebugTrace("CTolvaneAppDlg::tmSendMsg", 799, "net cmd:\r\n%s", "kavrin_key:print");
    DebugTrace("CTolvaneAppDlg::OnInitDialog", 550, "is first ");
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
                DebugTrace("tmRxUartTask", 472, "=====>\r\n{%d-%s}\r\n", t,
                           "0123456789012345678901234567890123456789");
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
