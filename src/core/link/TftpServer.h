#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "core/platform/Ipv4.h"
#include "core/platform/Socket.h"
#include "core/platform/Timing.h"

namespace lm {

// Result codes of the server's operations.
enum TftpCode : int {
    TftpOk = 0,
    TftpAlreadyOpen = 1,
    TftpNoSocket = 2,
    TftpCannotBind = 3,
    TftpWrongDevice = 4,
    TftpSocketError = 5,
    TftpBadLength = 6,
    TftpTransmissionError = 7,
    TftpTimeout = 128,
};

// The words shown for a code ("Timeout during negotiation!" for 128, and so on).
std::string tftpCodeText(int code);

// A single-client TFTP read server for the firmware upgrade: octet mode, 512-byte blocks in lock
// step, no retransmission.
class TftpServer {
public:
    enum class Outcome { Completed, Cancelled, ReadError, SendFailed, ConnectionLost };
    struct Result {
        Outcome outcome = Outcome::Completed;
        int code = TftpOk;
    };
    // Reads the next bytes of the file into the buffer; returns how many were read.
    using FileReader = std::function<std::size_t(std::span<unsigned char>)>;
    using ProgressHook = std::function<void(unsigned position)>;
    using CancelTest = std::function<bool()>;

    TftpServer(const Timing& timing, uint16_t port);

    int open(const std::string& localAddress);
    void close();
    bool isOpen() const { return socket_.has_value(); }
    // The bound port (what port 0 became); 0 when closed.
    uint16_t localPort() const;

    // Polls for an octet read request from the device's address; requests from other hosts are
    // ignored. 0, 128 when the budget runs out, 5 on a receive error.
    int waitForReadRequest(const std::string& deviceAddress, int pollBudget);

    // A read request as it came: who asked, from which port, for what.
    struct ReadRequest {
        Ipv4 from = 0;
        uint16_t port = 0;
        std::string file;
    };
    // Takes the datagram waiting, if any, without waiting: request is set when it was an octet read
    // request. 0, or 5 on a receive error.
    int takeReadRequest(std::optional<ReadRequest>& request);
    // Serves a request another server heard on the well-known port: this server's socket, on a
    // port of its own, answers it, as TFTP has every transfer do.
    void answer(const ReadRequest& request);
    // One pause of the polls.
    void pollPause() const;
    int sendData(uint16_t block, std::span<const unsigned char> bytes);
    // Waits for the next packet from the peer that made the request; packets from anyone else are
    // dropped within the same time. 0, 128 on time-out, 5 on a receive error.
    int waitForPacket(int milliseconds);
    void sendError();
    // The words for a code other than 0, empty for 0. A bind refused for want of privilege adds a
    // line on how to grant it.
    std::string errorText(int code) const;
    // Sends the file in lock step; Completed only once the device acknowledged the last block.
    Result sendFile(std::size_t fileLength, const FileReader& read, const ProgressHook& progress,
                    const CancelTest& cancelled);

    // The file name of an octet-mode read request; nullopt for anything else.
    static std::optional<std::string> parseReadRequest(std::span<const unsigned char> packet);

    const std::string& requestedFile() const { return requestedFile_; }

private:
    // Length of the datagram at the head of the receive queue; nullopt when none waits.
    std::optional<std::size_t> waitingLength() const;
    // Receives one datagram of at most maxBytes into the buffer and sets the received length.
    bool receive(std::size_t maxBytes, Ipv4& from, uint16_t& fromPort);
    bool isAcknowledgement(std::size_t block) const;
    std::string privilegeHint() const;

    Timing timing_;  // a copy: callers may pass a temporary
    uint16_t port_;
    std::optional<UdpSocket> socket_;
    Ipv4 peerAddress_ = 0;
    uint16_t peerPort_ = 0;
    std::array<unsigned char, 524> buffer_{};
    std::size_t receivedLength_ = 0;
    std::string requestedFile_;
    bool bindNeedsPrivilege_ = false;
};

}  // namespace lm
