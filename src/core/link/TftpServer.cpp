#include "core/link/TftpServer.h"

#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace lm {

namespace {

constexpr std::size_t kBlockSize = 512;
constexpr std::size_t kMaxRequest = 523;
// Requests are not read before this many bytes wait.
constexpr std::size_t kShortestRequest = 16;
// The mode of a request ends at this byte of the packet at the latest.
constexpr std::size_t kLastModeByte = 256;
constexpr std::size_t kBlocksPerProgressStep = 32;
constexpr Milliseconds kAcknowledgementWait{9000};
constexpr auto kPollPause = std::chrono::microseconds(1000);
// A fast Timing scales the poll pause towards nothing; a real wait this long keeps even a huge
// poll budget from spinning a core.
constexpr auto kShortestPollPause = std::chrono::microseconds(20);

unsigned char asciiLower(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::span<const unsigned char> text, std::string_view word) {
    return std::equal(text.begin(), text.end(), word.begin(), word.end(),
                      [](unsigned char a, char b) { return asciiLower(a) == static_cast<unsigned char>(b); });
}

}  // namespace

std::string tftpCodeText(int code) {
    switch (code) {
        case TftpOk:
            return "";
        case TftpAlreadyOpen:
            return "TFTP socket already open.";
        case TftpNoSocket:
            return "Unable to create TFTP socket.";
        case TftpCannotBind:
            return "Can't bind TFTP socket to Our IP address!";
        case TftpWrongDevice:
            return "TFTP request received from wrong device!";
        case TftpSocketError:
            return "TFTP socket error!";
        case TftpBadLength:
            return "Bad packet length!";
        case TftpTransmissionError:
            return "Transmission Error!";
        case TftpTimeout:
            return "Timeout during negotiation!";
        default:
            return "Program error in TFTP routines!";
    }
}

TftpServer::TftpServer(const Timing& timing, uint16_t port) : timing_(timing), port_(port) {}

int TftpServer::open(const std::string& localAddress) {
    if (socket_) return TftpAlreadyOpen;
    auto socket = UdpSocket::open();
    if (!socket) return TftpNoSocket;
    const auto address = parseIpv4(localAddress);
    if (!address) return TftpCannotBind;
    if (!socket->bind(*address, port_)) {
        bindNeedsPrivilege_ = errno == EACCES || errno == EPERM;
        return TftpCannotBind;
    }
    bindNeedsPrivilege_ = false;
    socket_ = std::move(socket);
    return TftpOk;
}

void TftpServer::close() {
    socket_.reset();
    peerAddress_ = 0;
    peerPort_ = 0;
}

uint16_t TftpServer::localPort() const {
    return socket_ ? socket_->localPort() : 0;
}

std::optional<std::string> TftpServer::parseReadRequest(std::span<const unsigned char> packet) {
    if (packet.size() < 3 || packet[0] != 0 || packet[1] != 1 || packet[2] == 0) return std::nullopt;
    const auto nameEnd = std::find(packet.begin() + 2, packet.end(), 0);
    if (nameEnd == packet.end()) return std::nullopt;
    // The end of the packet ends the mode as a zero byte would.
    const auto modeBegin = nameEnd + 1;
    const auto modeLimit =
        packet.begin() + static_cast<std::ptrdiff_t>(std::min(packet.size(), kLastModeByte + 1));
    if (modeBegin >= modeLimit) return std::nullopt;
    const auto modeEnd = std::find(modeBegin, modeLimit, 0);
    if (!equalsIgnoringCase(std::span(modeBegin, modeEnd), "octet")) return std::nullopt;
    return std::string(packet.begin() + 2, nameEnd);
}

std::optional<std::size_t> TftpServer::waitingLength() const {
    unsigned char byte = 0;
    ssize_t length;
    do {
        // MSG_TRUNC makes the peek tell the whole datagram's length, and tells an empty
        // datagram from an empty queue.
        length = ::recv(socket_->fd(), &byte, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    } while (length < 0 && errno == EINTR);
    if (length < 0) return std::nullopt;
    return static_cast<std::size_t>(length);
}

bool TftpServer::receive(std::size_t maxBytes, Ipv4& from, uint16_t& fromPort) {
    sockaddr_in sender{};
    socklen_t senderLength = sizeof sender;
    ssize_t got;
    do {
        got = ::recvfrom(socket_->fd(), buffer_.data(), std::min(maxBytes, buffer_.size()), MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&sender), &senderLength);
    } while (got < 0 && errno == EINTR);
    if (got < 0) return false;
    receivedLength_ = static_cast<std::size_t>(got);
    from = sender.sin_addr.s_addr;
    fromPort = ntohs(sender.sin_port);
    return true;
}

void TftpServer::pollPause() const {
    // A plain pause, not a wait on the socket: a flood of junk must not use the budget up early.
    const auto scaled = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::duration<double, std::micro>(kPollPause) * timing_.pauseScale);
    const auto pause = std::max<std::chrono::nanoseconds>(scaled, kShortestPollPause);
    const timespec span{static_cast<time_t>(pause.count() / 1'000'000'000),
                        static_cast<long>(pause.count() % 1'000'000'000)};
    ::ppoll(nullptr, 0, &span, nullptr);
}

int TftpServer::takeReadRequest(std::optional<ReadRequest>& request) {
    request.reset();
    if (!socket_) return TftpSocketError;
    const auto waiting = waitingLength();
    if (!waiting) return TftpOk;
    // A datagram too short to be read is dropped unread: this platform reports only the first
    // datagram's length, so leaving it would hide every request queued behind it.
    const bool runt = *waiting < kShortestRequest;
    Ipv4 from = 0;
    uint16_t fromPort = 0;
    if (!receive(runt ? 0 : kMaxRequest, from, fromPort)) return TftpSocketError;
    if (runt) return TftpOk;
    if (auto name = parseReadRequest(std::span(buffer_).first(receivedLength_)))
        request = ReadRequest{from, fromPort, std::move(*name)};
    return TftpOk;
}

void TftpServer::answer(const ReadRequest& request) {
    peerAddress_ = request.from;
    peerPort_ = request.port;
    requestedFile_ = request.file;
}

int TftpServer::waitForReadRequest(const std::string& deviceAddress, int pollBudget) {
    if (!socket_) return TftpSocketError;
    requestedFile_.clear();
    // Only the device being upgraded may start the transfer; an address that cannot be read
    // admits no one.
    const auto device = parseIpv4(deviceAddress);
    for (int pass = 0; pass < pollBudget; ++pass) {
        std::optional<ReadRequest> request;
        if (takeReadRequest(request) != TftpOk) return TftpSocketError;
        if (request && device && request->from == *device) {
            answer(*request);
            return TftpOk;
        }
        pollPause();
    }
    return TftpTimeout;
}

int TftpServer::sendData(uint16_t block, std::span<const unsigned char> bytes) {
    if (bytes.size() > kBlockSize) return TftpBadLength;
    std::array<unsigned char, 4 + kBlockSize> packet{0, 3, static_cast<unsigned char>(block >> 8),
                                                     static_cast<unsigned char>(block & 0xff)};
    std::copy(bytes.begin(), bytes.end(), packet.begin() + 4);
    if (!socket_ || !socket_->sendTo(peerAddress_, peerPort_, std::span(packet).first(4 + bytes.size())))
        return TftpTransmissionError;
    return TftpOk;
}

int TftpServer::waitForPacket(int milliseconds) {
    if (!socket_) return TftpSocketError;
    const Deadline deadline{Milliseconds(milliseconds)};
    const int fds[] = {socket_->fd()};
    do {
        const auto readable = waitReadable(fds, deadline.remainingMs());
        if (!readable) return TftpSocketError;
        if (!(*readable)[0]) return TftpTimeout;
        Ipv4 from = 0;
        uint16_t fromPort = 0;
        if (!receive(buffer_.size(), from, fromPort)) return TftpSocketError;
        // Only the peer that asked for the file is heard; anyone else is ignored, not followed.
        if (from == peerAddress_ && fromPort == peerPort_) return TftpOk;
    } while (!deadline.expired());
    return TftpTimeout;
}

void TftpServer::sendError() {
    static constexpr unsigned char kPacket[] = {0,   5,   0,   0,   'C', 'o', 'n', 'n', 'e', 'c', 't',
                                                'i', 'o', 'n', ' ', 'l', 'o', 's', 't', '.', 0};
    if (socket_) socket_->sendTo(peerAddress_, peerPort_, std::span(kPacket));
}

std::string TftpServer::privilegeHint() const {
    std::string program = "the program";
    char path[4096];
    if (const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path); n > 0 && n < ssize_t(sizeof path))
        program.assign(path, static_cast<std::size_t>(n));
    return "UDP port " + std::to_string(port_) +
           " needs the CAP_NET_BIND_SERVICE capability or root: sudo setcap cap_net_bind_service+ep " +
           program;
}

std::string TftpServer::errorText(int code) const {
    if (code == TftpOk) return {};
    std::string text = tftpCodeText(code);
    if (code == TftpCannotBind && bindNeedsPrivilege_) text += "\n" + privilegeHint();
    return text;
}

bool TftpServer::isAcknowledgement(std::size_t block) const {
    return receivedLength_ == 4 && buffer_[0] == 0 && buffer_[1] == 4 &&
           buffer_[2] == ((block >> 8) & 0xff) && buffer_[3] == (block & 0xff);
}

TftpServer::Result TftpServer::sendFile(std::size_t fileLength, const FileReader& read,
                                        const ProgressHook& progress, const CancelTest& cancelled) {
    const std::size_t full = fileLength / kBlockSize;
    const std::size_t rest = fileLength % kBlockSize;
    const int acknowledgementWait = static_cast<int>(timing_.scaled(kAcknowledgementWait).count());
    std::array<unsigned char, kBlockSize> chunk{};
    for (std::size_t block = 1; block <= full; ++block) {
        if (cancelled && cancelled()) return {Outcome::Cancelled, TftpOk};
        if (read(chunk) != kBlockSize) return {Outcome::ReadError, TftpOk};
        if (const int code = sendData(static_cast<uint16_t>(block), chunk))
            return {Outcome::SendFailed, code};
        if (block % kBlocksPerProgressStep == 0 && progress)
            progress(static_cast<unsigned>(block / kBlocksPerProgressStep));
        if (const int code = waitForPacket(acknowledgementWait)) return {Outcome::ConnectionLost, code};
        if (!isAcknowledgement(block)) return {Outcome::ConnectionLost, TftpOk};
    }
    // The last block is shorter than a full one, empty if need be, so the device sees the end.
    const auto last = std::span(chunk).first(rest);
    if (rest > 0 && read(last) != rest) return {Outcome::ReadError, TftpOk};
    if (const int code = sendData(static_cast<uint16_t>(full + 1), last)) return {Outcome::SendFailed, code};
    // Only its acknowledgement shows that the device has the whole image.
    if (const int code = waitForPacket(acknowledgementWait)) return {Outcome::ConnectionLost, code};
    if (!isAcknowledgement(full + 1)) return {Outcome::ConnectionLost, TftpOk};
    return {Outcome::Completed, TftpOk};
}

}  // namespace lm
