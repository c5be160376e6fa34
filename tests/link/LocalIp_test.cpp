#include "link/LocalIp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace {

TEST(LocalIp, IsEmptyOrADottedAddressTheMachineCouldReach) {
    const std::string address = localNetworkAddress();
    if (address.empty()) {
        GTEST_SKIP() << "this computer has no address besides loopback";
    }
    in_addr parsed{};
    ASSERT_EQ(inet_pton(AF_INET, address.c_str(), &parsed), 1) << address;
    EXPECT_NE(ntohl(parsed.s_addr) >> 24, 127u) << address;
}

}  // namespace
