#include "core/ops/UpgradeBatch.h"

#include "core/ops/FirmwareUpgrade.h"

namespace lm {

UpgradeBatch::UpgradeBatch(const Timing& timing, uint16_t tftpPort) : timing_(timing), tftpPort_(tftpPort) {}

void UpgradeBatch::admit(Ipv4 device) {
    const std::lock_guard lock(mutex_);
    admitted_.insert(device);
}

bool UpgradeBatch::openPort(const std::string& localAddress, WorkerChannel* ui) {
    const std::lock_guard lock(mutex_);
    auto& port = ports_[localAddress];
    if (port && port->isOpen()) return true;
    port = std::make_unique<TftpServer>(timing_, tftpPort_);
    return !reportTftpError(*port, port->open(localAddress), ui);
}

int UpgradeBatch::waitForReadRequest(const std::string& localAddress, Ipv4 device, int pollBudget,
                                     TftpServer::ReadRequest& request) {
    TftpServer* port = nullptr;
    {
        const std::lock_guard lock(mutex_);
        const auto found = ports_.find(localAddress);
        if (found == ports_.end() || !found->second->isOpen()) return TftpSocketError;
        port = found->second.get();
    }
    for (int pass = 0; pass < pollBudget; ++pass) {
        {
            const std::lock_guard lock(mutex_);
            // Another device's job may have read this device's request off the port.
            if (const auto kept = heard_.find(device); kept != heard_.end()) {
                request = kept->second;
                heard_.erase(kept);
                return TftpOk;
            }
            std::optional<TftpServer::ReadRequest> taken;
            if (port->takeReadRequest(taken) != TftpOk) return TftpSocketError;
            if (taken && taken->from == device) {
                request = std::move(*taken);
                return TftpOk;
            }
            // A device outside the batch gets nothing; one inside finds its request here.
            if (taken && admitted_.contains(taken->from)) heard_[taken->from] = std::move(*taken);
        }
        port->pollPause();
    }
    return TftpTimeout;
}

UpgradeBatch::EchoDecision UpgradeBatch::allowEcho(
    const std::function<EchoDecision(std::optional<EchoAllowance>&)>& allow) {
    const std::lock_guard lock(mutex_);
    if (!echoDecision_) echoDecision_ = allow(allowance_);
    return *echoDecision_;
}

}  // namespace lm
