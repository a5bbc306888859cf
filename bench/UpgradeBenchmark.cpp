// The whole firmware upgrade against a simulated device, from "Upgrade" to the last acknowledgement,
// beside a bare transfer of the same 8 MiB image from this program's own TFTP server to the same
// client (the simulated device's flash tool) in the same run. The difference is what the operation
// adds to the transfer: the shell steps before it.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>

#include "BenchRow.h"
#include "core/link/Session.h"
#include "core/link/TftpServer.h"
#include "core/ops/FirmwareUpgrade.h"
#include "core/platform/Socket.h"
#include "devsim/Simulator.h"
#include "devsim/TftpClient.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageBytes = 8 << 20;
constexpr int kRounds = 3;
constexpr double kOverheadTarget = 1.5;  // seconds
const char* const kDevice = "127.0.0.2";
const char* const kPc = "127.0.0.254";

// A window that answers every question with OK and keeps the last one asked.
class FilledDialog : public lm::WorkerChannel {
public:
    void status(const std::string&) override {}
    void progressRange(int, int) override {}
    void progress(int) override {}
    lm::Answer ask(const lm::Question& question) override {
        lastBox = question.text;
        return lm::Answer::Ok;
    }
    void beep() override {}
    std::string lastBox;
};

uint16_t freeUdpPort(const char* address) {
    auto probe = lm::UdpSocket::open();
    if (!probe || !probe->bind(*lm::parseIpv4(address), 0)) return 0;
    return probe->localPort();
}

// Seconds from the start of the worker to its end, or nullopt when the image did not arrive whole.
std::optional<double> wholeUpgrade(const fs::path& image, uint32_t crc, const fs::path& echoSetting) {
    const uint16_t tftpPort = freeUdpPort(kPc);
    lm::sim::SimulatorConfig config;
    lm::sim::DeviceConfig device;
    device.address = *lm::parseIpv4(kDevice);
    device.mac = *lm::sim::parseMac("02:4C:55:C8:00:51");
    config.devices = {device};
    config.tftpPort = tftpPort;
    lm::sim::Simulator simulator(std::move(config));
    std::string error;
    if (tftpPort == 0 || !simulator.start(&error)) return std::nullopt;

    lm::NetworkProfile profile;
    profile.telnetPort = simulator.telnetPort();
    profile.tftpPort = tftpPort;
    profile.interfaces = lm::NetworkProfile::parseInterfaces(std::string(kPc) + "/255.0.0.0");
    profile.echoSettingPath = echoSetting.string();
    lm::Session session(profile);
    auto ui = std::make_shared<FilledDialog>();
    auto state = std::make_shared<lm::OperationState>();
    lm::WorkerTask task(session, ui, state, nullptr, kDevice, nullptr);
    const lm::UpgradeRequest request{
        {kDevice, lm::Session::kDefaultPassword}, image.string(), kPc, true, false};
    const auto start = Clock::now();
    const lm::Outcome outcome = lm::upgradeWorker(task, request).outcome;
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The device notes the flash just after its last acknowledgement went out.
    auto flashes = simulator.flashes(0);
    for (int i = 0; i < 200 && flashes.empty(); ++i, flashes = simulator.flashes(0))
        lm::Timing().pause(lm::Milliseconds(10));
    if (outcome != lm::Outcome::Ok || flashes.empty() || !flashes.back().complete ||
        flashes.back().bytes != kImageBytes || flashes.back().crc32 != crc) {
        std::printf("  upgrade failed: %s\n", ui->lastBox.c_str());
        return std::nullopt;
    }
    return seconds;
}

// Seconds our TFTP server took to hand the image to the same client, or nullopt.
std::optional<double> bareTransfer(const fs::path& image, uint32_t crc) {
    lm::TftpServer server(lm::Timing{}, 0);
    if (server.open(kPc) != lm::TftpOk) return std::nullopt;
    std::optional<lm::TftpServer::Outcome> served;
    std::thread serving([&] {
        if (server.waitForReadRequest(kDevice, 1000) != lm::TftpOk) return;
        std::ifstream file(image, std::ios::binary);
        served = server
                     .sendFile(
                         kImageBytes,
                         [&file](std::span<unsigned char> into) {
                             file.read(reinterpret_cast<char*>(into.data()),
                                       static_cast<std::streamsize>(into.size()));
                             return static_cast<std::size_t>(file.gcount());
                         },
                         {}, [] { return false; })
                     .outcome;
    });
    lm::sim::TftpClient client(*lm::parseIpv4(kDevice), {}, lm::Milliseconds(10000), [] { return false; });
    const auto start = Clock::now();
    const lm::sim::TftpResult result =
        client.fetch(*lm::parseIpv4(kPc), server.localPort(), lm::kUpgradeImageName);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    serving.join();
    if (served != lm::TftpServer::Outcome::Completed || !result.complete || result.bytes != kImageBytes ||
        result.crc32 != crc)
        return std::nullopt;
    return seconds;
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "upgrade_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path folder = pattern;
    const fs::path image = folder / lm::kUpgradeImageName;
    std::string bytes(kImageBytes, '\0');
    std::mt19937 random(11);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const uint32_t crc = lm::sim::crc32(bytes);
    // Incoming echo requests allowed: no question, nothing of the PC's settings touched.
    const fs::path echoSetting = folder / "icmp_echo_ignore_all";
    std::ofstream(echoSetting) << "0\n";

    std::optional<double> upgrade;
    std::optional<double> bare;
    bool failed = false;
    for (int round = 0; round < kRounds; ++round) {
        const auto a = wholeUpgrade(image, crc, echoSetting);
        const auto b = bareTransfer(image, crc);
        failed = failed || !a || !b;
        if (a && (!upgrade || *a < *upgrade)) upgrade = a;
        if (b && (!bare || *b < *bare)) bare = b;
    }
    fs::remove_all(folder);

    const auto text = [](const std::optional<double>& seconds) {
        return seconds ? lm::bench::seconds(*seconds) : std::string("failed");
    };
    std::printf("upgrade: 8 MiB image to a simulated device, best of %d\n", kRounds);
    std::printf("  whole upgrade                 %s\n", text(upgrade).c_str());
    std::printf("  bare transfer, our own server %s\n", text(bare).c_str());
    const bool met = upgrade && bare && *upgrade - *bare <= kOverheadTarget;
    lm::bench::printRow(
        "a whole 8 MiB firmware upgrade of a simulated device, \"Upgrade\" to the last acknowledgement, "
        "beside "
        "this program's TFTP server handing the same image to the same client (`bench/upgrade_benchmark`)",
        text(upgrade) + ", against " + text(bare) + " for the bare transfer" +
            (upgrade && bare ? ": overhead " + lm::bench::seconds(*upgrade - *bare) : std::string()),
        "overhead at most 1.5 s", met);
    return failed ? 1 : 0;
}
