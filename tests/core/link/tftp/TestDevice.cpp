#include "TestDevice.h"

#include <gtest/gtest.h>

#include <array>

namespace lm::test {

std::string readRequest(std::string_view file, std::string_view mode) {
    std::string packet{'\0', '\1'};
    packet.append(file).push_back('\0');
    packet.append(mode).push_back('\0');
    return packet;
}

std::string dataPacket(unsigned block, std::string_view payload) {
    std::string packet{'\0', '\3', static_cast<char>((block >> 8) & 0xff), static_cast<char>(block & 0xff)};
    return packet.append(payload);
}

std::string acknowledgement(unsigned block) {
    return {'\0', '\4', static_cast<char>((block >> 8) & 0xff), static_cast<char>(block & 0xff)};
}

std::string text(const Datagram& datagram) {
    return {datagram.bytes.begin(), datagram.bytes.end()};
}

TestDevice::TestDevice(uint16_t serverPort, const std::string& address)
    : serverPort_(serverPort), socket_(UdpSocket::open()) {
    const auto ip = parseIpv4(address);
    if (!socket_ || !ip || !socket_->bind(*ip, 0)) {
        ADD_FAILURE() << "cannot bind a test device on " << address;
        socket_.reset();
    }
}

void TestDevice::send(std::string_view bytes) const {
    EXPECT_TRUE(socket_ && socket_->sendTo(*parseIpv4("127.0.0.1"), serverPort_, bytes));
}

std::optional<Datagram> TestDevice::receive(Milliseconds wait) const {
    if (!socket_) return std::nullopt;
    const std::array fds{socket_->fd()};
    const auto readable = waitReadable(fds, static_cast<int>(wait.count()));
    if (!readable || !(*readable)[0]) return std::nullopt;
    return socket_->receive(2048);
}

}  // namespace lm::test
