#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Socket.h"
#include "platform/Timing.h"

namespace lm::test {

// A read request as a device sends it.
std::string readRequest(std::string_view file, std::string_view mode = "octet");
// A data packet as the server must send it.
std::string dataPacket(unsigned block, std::string_view payload);
std::string acknowledgement(unsigned block);
std::string text(const Datagram& datagram);

// The device's side of a TFTP conversation: a UDP socket on a loopback address of the test's choosing.
class TestDevice {
public:
    explicit TestDevice(uint16_t serverPort, const std::string& address = "127.0.0.1");

    void send(std::string_view bytes) const;
    void requestFile(std::string_view file = "bootimage.bin", std::string_view mode = "octet") const {
        send(readRequest(file, mode));
    }
    void acknowledge(unsigned block) const { send(acknowledgement(block)); }
    // The next datagram from anyone; nullopt when none comes within the wait.
    std::optional<Datagram> receive(Milliseconds wait = Milliseconds(5000)) const;
    // True when nothing is waiting right now.
    bool idle() const { return !receive(Milliseconds(0)); }

private:
    uint16_t serverPort_;
    std::optional<UdpSocket> socket_;
};

}  // namespace lm::test
