#include "pages/transponders/network_texts.h"

#include <gtest/gtest.h>

namespace {

// The window's fields make the address the parser reads; an IPv6 host gets its brackets.
TEST(NetworkTextsTest, AddressesCountsAndUrls) {
    struct Case {
        std::string got;
        std::string want;
    };
    const Case cases[] = {
        {network_texts::DatagramAddress(false, "127.0.0.1", "1234", "", ""),
         "udp://127.0.0.1:1234"},
        {network_texts::DatagramAddress(true, " 239.1.1.1 ", "5004", "4", "eth0"),
         "rtp://239.1.1.1:5004?ttl=4&interface=eth0"},
        {network_texts::DatagramAddress(false, "ff15::1", "1234", "", "10.0.0.2"),
         "udp://[ff15::1]:1234?interface=10.0.0.2"},
        {network_texts::DatagramAddress(false, "[::1]", "1234", "2", ""), "udp://[::1]:1234?ttl=2"},
        {network_texts::DatagramCounts(1, 0), "1 datagram sent, 0 dropped"},
        {network_texts::DatagramCounts(1234, 5), "1234 datagrams sent, 5 dropped"},
        {network_texts::HttpCounts(1, 3, 0), "1 client now, 3 served, 0 dropped (too slow)"},
        {network_texts::HttpCounts(0, 0, 2), "0 clients now, 0 served, 2 dropped (too slow)"},
        {network_texts::HttpStreamUrl("http://127.0.0.1:8001", std::nullopt),
         "http://127.0.0.1:8001/stream"},
        {network_texts::HttpStreamUrl("http://0.0.0.0:8001", 28006),
         "http://0.0.0.0:8001/service/28006"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want);
    EXPECT_EQ(network_texts::Port("8001"), 8001);
    EXPECT_EQ(network_texts::Port(" 65535 "), 65535);
    for (const char* bad : {"", "0", "65536", "80a", "-1"})
        EXPECT_EQ(network_texts::Port(bad), std::nullopt) << bad;
}

}  // namespace
