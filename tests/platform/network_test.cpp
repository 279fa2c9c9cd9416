// Numeric loopback addresses as the system reads them, the same on every system (the HTTP API
// listens on loopback alone unless told otherwise).
#include "platform/Network.h"

#include <gtest/gtest.h>

namespace {

TEST(Network, LoopbackAddressesAreTheNumericOnes) {
    for (const char* loop : {"127.0.0.1", "127.255.0.9", "::1", "0:0:0:0:0:0:0:1"})
        EXPECT_TRUE(IsLoopbackAddress(loop)) << loop;
    for (const char* other : {"128.0.0.1", "0.0.0.0", "::", "::2", "::ffff:10.0.0.1", "10.0.0.1",
                              "localhost", "127.0.0", "127.0.0.1 ", ""})
        EXPECT_FALSE(IsLoopbackAddress(other)) << other;
}

} // namespace
