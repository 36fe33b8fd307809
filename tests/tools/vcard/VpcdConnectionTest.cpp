#include "VpcdConnection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vcard {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(VpcdFrameTest, LengthIsTwoBytesBigEndian) {
    EXPECT_EQ(EncodeFrame(Bytes{0x04}), (Bytes{0x00, 0x01, 0x04}));
    const Bytes longMessage(0x1234, 0xAB);
    const Bytes frame = EncodeFrame(longMessage);
    ASSERT_EQ(frame.size(), 0x1236u);
    EXPECT_EQ(frame[0], 0x12);
    EXPECT_EQ(frame[1], 0x34);
}

// One end held by a VpcdConnection, the other by the test as the reader driver.
class VpcdConnectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int ends[2];
        ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
        m_connection = std::make_unique<VpcdConnection>(ends[0]);
        m_driver = ends[1];
    }
    void TearDown() override {
        if (m_driver >= 0) {
            close(m_driver);
        }
    }

    void DriverSends(const Bytes& bytes) const {
        ASSERT_EQ(write(m_driver, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    std::unique_ptr<VpcdConnection> m_connection;
    int m_driver = -1;
};

TEST_F(VpcdConnectionTest, ReadsFramesOneByOne) {
    DriverSends({0x00, 0x01, 0x04, 0x00, 0x03, 0x00, 0xA4, 0x00});
    EXPECT_EQ(m_connection->ReadFrame(), (Bytes{0x04}));
    EXPECT_EQ(m_connection->ReadFrame(), (Bytes{0x00, 0xA4, 0x00}));
}

TEST_F(VpcdConnectionTest, WritesLengthAndData) {
    ASSERT_TRUE(m_connection->WriteFrame(Bytes{0x90, 0x00}));
    uint8_t received[8];
    ASSERT_EQ(read(m_driver, received, sizeof received), 4);
    EXPECT_EQ(Bytes(received, received + 4), (Bytes{0x00, 0x02, 0x90, 0x00}));
}

TEST_F(VpcdConnectionTest, PeerCloseEndsReading) {
    DriverSends({0x00, 0x05, 0x01});  // a frame cut short
    close(m_driver);
    m_driver = -1;
    EXPECT_FALSE(m_connection->ReadFrame());
    EXPECT_FALSE(m_connection->WriteFrame(Bytes{0x90, 0x00}));
}

TEST(VpcdConnectTest, ConnectsWithNagleOffAndReportsRefusal) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const uint16_t port = ntohs(address.sin_port);

    std::string error;
    const auto connection = VpcdConnection::Connect("127.0.0.1", port, error);
    ASSERT_NE(connection, nullptr) << error;
    int noDelay = 0;
    socklen_t size = sizeof noDelay;
    ASSERT_EQ(getsockopt(connection->Socket(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &size), 0);
    EXPECT_NE(noDelay, 0);

    close(listener);
    EXPECT_EQ(VpcdConnection::Connect("127.0.0.1", port, error), nullptr);
    EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vcard
