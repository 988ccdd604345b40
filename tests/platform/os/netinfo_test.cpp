// The connection decision over the machine's interfaces.
#include "platform/os/netinfo.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(NetworkState, ConnectedOnlyThroughAnUpInterfaceThatReachesBeyondItsLink) {
    using I = os::NetInterface;
    struct Case {
        const char* what;
        std::vector<I> interfaces;
        bool connected;
    } cases[] = {
        {"nothing", {}, false},
        {"loopback only", {{"lo", true, true, "127.0.0.1"}, {"lo", true, true, "::1"}}, false},
        {"down", {{"eth0", false, false, "192.168.1.5"}}, false},
        {"link without address", {{"eth0", true, false, ""}}, false},
        {"link-local only",
         {{"eth0", true, false, "169.254.3.4"}, {"eth0", true, false, "FE80::1"}},
         false},
        {"IPv4", {{"lo", true, true, "127.0.0.1"}, {"eth0", true, false, "10.0.0.2"}}, true},
        {"IPv6", {{"wlan0", true, false, "2001:db8::5"}}, true},
        {"one of several",
         {{"eth0", false, false, "10.0.0.2"}, {"wlan0", true, false, "10.1.1.1"}},
         true},
    };
    for (const Case& c : cases) {
        os::SetNetworkInterfacesHook([&] { return c.interfaces; });
        EXPECT_EQ(os::HasNetworkConnection(), c.connected) << c.what;
    }
    os::SetNetworkInterfacesHook(nullptr);
    // The system's own list always has the loopback interface.
    bool loopback = false;
    for (const I& i : os::NetworkInterfaces())
        loopback = loopback || i.Loopback;
    EXPECT_TRUE(loopback);
}

} // namespace
