// The card's end of the reader driver's TCP connection. Each message either way is one frame: a
// two-byte big-endian length, then that many bytes.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vcard {

// The frame for a message of at most 65535 bytes.
std::vector<uint8_t> EncodeFrame(std::span<const uint8_t> message);

class VpcdConnection {
  public:
    // One attempt; null when the connection was refused or failed (error says why).
    static std::unique_ptr<VpcdConnection> Connect(const std::string& host, uint16_t port,
                                                   std::string& error);

    // Takes over a connected stream socket.
    explicit VpcdConnection(int socket) : m_socket(socket) {}
    ~VpcdConnection();
    VpcdConnection(const VpcdConnection&) = delete;
    VpcdConnection& operator=(const VpcdConnection&) = delete;

    int Socket() const { return m_socket; }

    // Waits for one whole frame; null when the peer closed the connection or it failed.
    std::optional<std::vector<uint8_t>> ReadFrame();
    // Writes one frame in a single write, so that length and data leave in one segment.
    bool WriteFrame(std::span<const uint8_t> message);

  private:
    bool ReadExactly(uint8_t* buffer, size_t length);

    int m_socket;
};

}  // namespace vcard
