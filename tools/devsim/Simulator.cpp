#include "devsim/Simulator.h"

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "core/platform/Socket.h"

namespace lm::sim {

namespace {

// The most descriptors the process may be allowed.
std::size_t descriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return 1024;
    return limit.rlim_max == RLIM_INFINITY ? SIZE_MAX : static_cast<std::size_t>(limit.rlim_max);
}

// A thousand devices need several sockets each; the usual soft limit of 1024 descriptors is too few.
void allowDescriptors(std::size_t needed) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= needed) return;
    limit.rlim_cur = std::min<rlim_t>(limit.rlim_max, needed);
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::vector<Ipv4> broadcastsOf(const std::vector<DeviceConfig>& devices) {
    std::vector<Ipv4> broadcasts;
    for (const DeviceConfig& device : devices)
        if (const Ipv4 broadcast = broadcastOf(device);
            std::find(broadcasts.begin(), broadcasts.end(), broadcast) == broadcasts.end())
            broadcasts.push_back(broadcast);
    return broadcasts;
}

std::string arpRow(const DeviceConfig& device, Ipv4 address) {
    const Mac& m = device.mac;
    const bool loopback = (ntohl(address) >> 24) == 127;
    char row[128];
    std::snprintf(row, sizeof row, "%-16s 0x%-10x0x%-10x%02x:%02x:%02x:%02x:%02x:%02x     *        %s\n",
                  dotted(address).c_str(), 1u, 2u, m[0], m[1], m[2], m[3], m[4], m[5],
                  loopback ? "lo" : "eth0");
    return row;
}

}  // namespace

Simulator::Simulator(SimulatorConfig config) : config_(std::move(config)) {}

Simulator::~Simulator() {
    stop();
}

bool Simulator::start(std::string* error) {
    if (running()) {
        if (error) *error = "the simulator is already running";
        return false;
    }
    const auto consoles =
        static_cast<std::size_t>(std::count_if(config_.devices.begin(), config_.devices.end(),
                                               [](const DeviceConfig& d) { return d.shell.serial; }));
    sockets_ = chooseSockets(config_.sockets, config_.devices.size(), broadcastsOf(config_.devices).size(),
                             consoles, descriptorLimit());
    allowDescriptors(sockets_.descriptors);
    auto loop = std::make_unique<EventLoop>();
    if (!loop->valid()) {
        if (error) *error = "cannot create the event loop's wake-up descriptor";
        return false;
    }
    pool_ = std::make_unique<ConnectionPool>();
    finalCounters_.clear();
    if (!bindAndCreate(error)) {
        devices_.clear();
        layout_.reset();
        return false;
    }
    for (auto& device : devices_)
        device->attach(*loop);
    layout_->attach(*loop);
    loop_ = std::move(loop);
    thread_ = std::thread([loop = loop_.get()] { loop->run(); });
    return true;
}

bool Simulator::bindAndCreate(std::string* error) {
    const auto& configs = config_.devices;
    // Distinct addresses, and no device on a broadcast address: either would make binding fail
    // in a way that looks like a busy port.
    std::map<Ipv4, std::size_t> owner;
    for (std::size_t i = 0; i < configs.size(); ++i)
        if (const auto [at, fresh] = owner.emplace(configs[i].address, i); !fresh) {
            if (error)
                *error = "devices " + std::to_string(at->second) + " and " + std::to_string(i) +
                         " share the address " + dotted(configs[i].address);
            return false;
        }
    const std::vector<Ipv4> broadcasts = broadcastsOf(configs);
    for (Ipv4 broadcast : broadcasts)
        if (owner.contains(broadcast)) {
            if (error) *error = "the broadcast address " + dotted(broadcast) + " is also a device's address";
            return false;
        }

    layout_ = bindSockets(sockets_.mode, configs, broadcasts,
                          {config_.discoveryPort, config_.httpPort, config_.telnetPort}, *pool_, error);
    if (!layout_) return false;
    const SocketPorts ports = layout_->ports();
    discoveryPort_ = ports.discovery;
    httpPort_ = ports.http;
    telnetPort_ = ports.telnet;

    const auto clock = config_.clock ? config_.clock : [] { return WallClock::now(); };
    for (std::size_t i = 0; i < configs.size(); ++i) {
        devices_.push_back(std::make_unique<Device>(
            configs[i], layout_->take(i), Device::Ports{discoveryPort_, httpPort_, config_.tftpPort}, *pool_,
            clock));
        devices_.back()->onMoved([this, i] {
            if (addressChanged_) addressChanged_(i);
        });
        std::string why;
        if (!devices_.back()->openConsole(&why)) {
            if (error) *error = "device " + std::to_string(i) + ": " + why;
            return false;
        }
    }
    return true;
}

void Simulator::stop() {
    if (!running()) return;
    loop_->stop();
    thread_.join();
    // Halted first, so that a session inside a transfer or a slow answer lets go when its socket closes.
    for (const auto& device : devices_)
        device->halt();
    pool_->stopAll();
    for (const auto& device : devices_)
        finalCounters_.push_back(device->counters());
    devices_.clear();
    layout_.reset();
    loop_.reset();
}

std::string Simulator::arpTableText() const {
    std::string text = "IP address       HW type     Flags       HW address            Mask     Device\n";
    for (std::size_t i = 0; i < config_.devices.size(); ++i)
        text += arpRow(config_.devices[i], address(i).value_or(config_.devices[i].address));
    return text;
}

bool Simulator::writeArpTable(const std::string& path, std::string* error) const {
    std::lock_guard lock(arpFileWrite_);
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << arpTableText();
        if (!out.flush()) {
            if (error) *error = partial + ": cannot be written";
            return false;
        }
    }
    if (std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        if (error) *error = path + ": cannot be replaced";
        return false;
    }
    return true;
}

DeviceCounters Simulator::counters(std::size_t index) const {
    if (index < devices_.size()) return devices_[index]->counters();
    if (index < finalCounters_.size()) return finalCounters_[index];
    return {};
}

const Device* Simulator::device(std::size_t index) const {
    return index < devices_.size() ? devices_[index].get() : nullptr;
}

std::string Simulator::serialPath(std::size_t index) const {
    const Device* d = device(index);
    return d ? d->serialPath() : std::string();
}

std::optional<Ipv4> Simulator::address(std::size_t index) const {
    const Device* d = device(index);
    return d ? std::optional(d->state().address()) : std::nullopt;
}

std::optional<std::string> Simulator::fileText(std::size_t index, const std::string& path) const {
    const Device* d = device(index);
    return d ? d->state().files().read(path) : std::nullopt;
}

std::vector<FileWrite> Simulator::fileWrites(std::size_t index) const {
    const Device* d = device(index);
    return d ? d->state().writes() : std::vector<FileWrite>();
}

std::vector<std::string> Simulator::commands(std::size_t index) const {
    const Device* d = device(index);
    return d ? d->state().commands() : std::vector<std::string>();
}

std::vector<FlashRecord> Simulator::flashes(std::size_t index) const {
    const Device* d = device(index);
    return d ? d->state().flashes() : std::vector<FlashRecord>();
}

bool Simulator::deviceUp(std::size_t index) const {
    const Device* d = device(index);
    return d && d->state().up();
}

bool Simulator::waitUntilUp(std::size_t index, Milliseconds limit) const {
    const Device* d = device(index);
    return d && d->state().waitUntilUp(limit);
}

DeviceCounters Simulator::totals() const {
    DeviceCounters sum;
    for (std::size_t i = 0; i < config_.devices.size(); ++i) {
        const DeviceCounters c = counters(i);
        sum.probesReceived += c.probesReceived;
        sum.repliesSent += c.repliesSent;
        sum.httpRequests += c.httpRequests;
        sum.telnetSessions += c.telnetSessions;
        sum.logins += c.logins;
        sum.refusedLogins += c.refusedLogins;
        sum.reboots += c.reboots;
    }
    return sum;
}

}  // namespace lm::sim
