#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>

#include "core/link/Outcome.h"
#include "core/link/TftpServer.h"
#include "core/platform/EchoRequests.h"
#include "core/platform/Timing.h"

namespace lm {

class OperationUi;

// What the devices of one batch upgrade share: the TFTP port, which hears every device's read
// request while each transfer runs from a port of its own, and this PC's echo setting, allowed once
// before the first device pings and restored when the batch ends.
class UpgradeBatch {
public:
    UpgradeBatch(const Timing& timing, uint16_t tftpPort);

    // The device takes part: only its read requests are heard.
    void admit(Ipv4 device);
    // Opens the well-known port on this PC's address, once for all devices that use it; false when
    // it cannot be opened, told in a box of ui as TftpServer tells it.
    bool openPort(const std::string& localAddress, OperationUi* ui);
    // Polls the port for device's read request as TftpServer::waitForReadRequest does; requests of
    // other devices of the batch are kept for them, anyone else's dropped.
    int waitForReadRequest(const std::string& localAddress, Ipv4 device, int pollBudget,
                           TftpServer::ReadRequest& request);

    // Runs allow(allowance) for the first device only and hands every device the same answer: a
    // failure text and its outcome, or nothing when the devices' pings may come.
    using EchoDecision = std::optional<std::pair<std::string, Outcome>>;
    EchoDecision allowEcho(const std::function<EchoDecision(std::optional<EchoAllowance>&)>& allow);

private:
    Timing timing_;
    uint16_t tftpPort_;
    std::mutex mutex_;
    std::set<Ipv4> admitted_;
    std::map<std::string, std::unique_ptr<TftpServer>> ports_;  // by this PC's address
    std::map<Ipv4, TftpServer::ReadRequest> heard_;
    std::optional<EchoAllowance> allowance_;
    std::optional<EchoDecision> echoDecision_;
};

}  // namespace lm
