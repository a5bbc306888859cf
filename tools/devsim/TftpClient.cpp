#include "devsim/TftpClient.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "core/platform/UniqueFd.h"

namespace lm::sim {

namespace {

constexpr uint16_t kRead = 1, kData = 3, kAck = 4, kError = 5;
constexpr std::size_t kBlockBytes = 512;
constexpr int kSliceMs = 50;  // how often a wait looks at the cancel test

constexpr std::array<uint32_t, 256> makeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit)
            c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

constexpr auto kCrcTable = makeCrcTable();

uint16_t word(const unsigned char* bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

std::string packet(uint16_t opcode, uint16_t number) {
    return {static_cast<char>(opcode >> 8), static_cast<char>(opcode & 0xFF), static_cast<char>(number >> 8),
            static_cast<char>(number & 0xFF)};
}

}  // namespace

uint32_t crc32(std::string_view data, uint32_t crc) {
    crc = ~crc;
    for (char c : data)
        crc = kCrcTable[(crc ^ static_cast<unsigned char>(c)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

TftpClient::TftpClient(Ipv4 localAddress, Faults faults, Milliseconds timeout,
                       std::function<bool()> cancelled)
    : localAddress_(localAddress), faults_(faults), timeout_(timeout), cancelled_(std::move(cancelled)) {}

TftpResult TftpClient::fetch(Ipv4 server, uint16_t port, std::string_view file,
                             const std::function<void(uint64_t)>& progress,
                             const std::function<void(std::string_view)>& data,
                             const std::function<void(const TftpResult&)>& whole) {
    TftpResult result;
    UniqueFd socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const sockaddr_in local = makeSockaddr(localAddress_, 0);
    if (!socket || ::bind(socket.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        result.error = "cannot open a UDP socket";
        return result;
    }
    auto sendTo = [&](uint16_t toPort, std::string_view bytes) {
        const sockaddr_in to = makeSockaddr(server, toPort);
        ::sendto(socket.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL,
                 reinterpret_cast<const sockaddr*>(&to), sizeof to);
    };

    std::string request = packet(kRead, 0).substr(0, 2);
    request.append(file);
    request.push_back('\0');
    request.append("octet");
    request.push_back('\0');
    sendTo(port, request);

    uint16_t expected = 1;
    uint16_t peerPort = 0;  // the server's transfer port, learnt from its first data packet
    bool lostOnce = false, repeatedOnce = false;
    unsigned char buffer[1024];
    while (true) {
        const Deadline deadline(timeout_);
        bool readable = false;
        while (!readable) {
            if (cancelled_ && cancelled_()) {
                result.error = "cancelled";
                return result;
            }
            if (deadline.expired()) {
                result.error = "timed out waiting for block " + std::to_string(expected);
                return result;
            }
            pollfd waiting{socket.get(), POLLIN, 0};
            readable = ::poll(&waiting, 1, std::min(kSliceMs, deadline.remainingMs())) > 0;
        }
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t got =
            ::recvfrom(socket.get(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (got < 0 && errno == EINTR) continue;
        if (got < 4 || from.sin_addr.s_addr != server) continue;
        const uint16_t fromPort = ntohs(from.sin_port);
        if (peerPort != 0 && fromPort != peerPort) continue;  // another transfer's packet
        const uint16_t opcode = word(buffer);
        if (opcode == kError) {
            std::string text;
            for (ssize_t i = 4; i < got && buffer[i] != 0; ++i)
                text.push_back(static_cast<char>(buffer[i]));
            result.error = "server error " + std::to_string(word(buffer + 2)) + ": " + text;
            return result;
        }
        if (opcode != kData) continue;
        const auto payload = static_cast<std::size_t>(got - 4);
        if (payload > kBlockBytes) {
            result.error = "data packet of " + std::to_string(payload) + " bytes";
            sendTo(fromPort, packet(kError, 4) + "Illegal TFTP operation" + std::string(1, '\0'));
            return result;
        }
        peerPort = fromPort;
        const uint16_t block = word(buffer + 2);
        if (block == static_cast<uint16_t>(expected - 1) && expected != 1) {
            sendTo(peerPort, packet(kAck, block));  // the server sent it again: our answer was lost
            continue;
        }
        if (block != expected) continue;

        const std::string_view bytes(reinterpret_cast<const char*>(buffer + 4), payload);
        result.crc32 = crc32(bytes, result.crc32);
        result.bytes += payload;
        ++result.blocks;
        if (result.bytes > kMaxImageBytes) {
            result.error = "image larger than " + std::to_string(kMaxImageBytes) + " bytes";
            sendTo(peerPort, packet(kError, 3) + "Disk full" + std::string(1, '\0'));
            return result;
        }
        const bool last = payload < kBlockBytes;
        if (last) result.complete = true;
        if (progress) progress(result.bytes);
        if (data) data(bytes);
        if (last && whole) whole(result);
        if (faults_.ackDelay.count() > 0) Timing().pause(faults_.ackDelay);
        if (faults_.lostAck == block && !lostOnce) {
            lostOnce = true;
        } else if (faults_.repeatAck == block && !repeatedOnce) {
            repeatedOnce = true;
            sendTo(peerPort, packet(kAck, static_cast<uint16_t>(block - 1)));
        } else {
            sendTo(peerPort, packet(kAck, block));
        }
        if (last) return result;
        ++expected;
    }
}

}  // namespace lm::sim
