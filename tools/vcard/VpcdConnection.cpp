#include "VpcdConnection.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vcard {

namespace {

constexpr size_t kMaxMessage = 0xFFFF;

struct AddressList {
    addrinfo* first = nullptr;
    ~AddressList() {
        if (first != nullptr) {
            freeaddrinfo(first);
        }
    }
};

// A connected socket with Nagle's algorithm off, or -1.
int ConnectTo(const addrinfo& address, std::string& error) {
    const int fd =
        socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        error = std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): no shared buffer in glibc
        return -1;
    }
    const int on = 1;
    if (connect(fd, address.ai_addr, address.ai_addrlen) != 0 ||
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) != 0) {
        error = std::strerror(errno);  // NOLINT(concurrency-mt-unsafe): no shared buffer in glibc
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

std::vector<uint8_t> EncodeFrame(std::span<const uint8_t> message) {
    std::vector<uint8_t> frame;
    frame.reserve(message.size() + 2);
    frame.push_back(static_cast<uint8_t>(message.size() >> 8));
    frame.push_back(static_cast<uint8_t>(message.size() & 0xFF));
    frame.insert(frame.end(), message.begin(), message.end());
    return frame;
}

std::unique_ptr<VpcdConnection> VpcdConnection::Connect(const std::string& host, uint16_t port,
                                                        std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    AddressList addresses;
    const int status =
        getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &addresses.first);
    if (status != 0) {
        error = gai_strerror(status);
        return nullptr;
    }
    for (const addrinfo* address = addresses.first; address != nullptr;
         address = address->ai_next) {
        const int fd = ConnectTo(*address, error);
        if (fd >= 0) {
            return std::make_unique<VpcdConnection>(fd);
        }
    }
    return nullptr;
}

VpcdConnection::~VpcdConnection() {
    close(m_socket);
}

std::optional<std::vector<uint8_t>> VpcdConnection::ReadFrame() {
    uint8_t header[2];
    if (!ReadExactly(header, sizeof header)) {
        return std::nullopt;
    }
    std::vector<uint8_t> message(static_cast<size_t>(header[0] << 8 | header[1]));
    if (!ReadExactly(message.data(), message.size())) {
        return std::nullopt;
    }
    return message;
}

bool VpcdConnection::WriteFrame(std::span<const uint8_t> message) {
    if (message.size() > kMaxMessage) {
        return false;
    }
    const std::vector<uint8_t> frame = EncodeFrame(message);
    const ssize_t written = send(m_socket, frame.data(), frame.size(), MSG_NOSIGNAL);
    return written == static_cast<ssize_t>(frame.size());
}

bool VpcdConnection::ReadExactly(uint8_t* buffer, size_t length) {
    size_t done = 0;
    while (done < length) {
        // The driver writes a frame's length and its data separately, and with Nagle's algorithm
        // on its side the data waits for our acknowledgement of the length: acknowledge at once
        // rather than after the 40 ms of a delayed ACK. The kernel clears the flag again by
        // itself, hence before every read; a socket other than TCP just refuses it.
        const int on = 1;
        setsockopt(m_socket, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
        const ssize_t got = recv(m_socket, buffer + done, length - done, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        done += static_cast<size_t>(got);
    }
    return true;
}

}  // namespace vcard
