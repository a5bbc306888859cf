// A batch upgrade of 16 simulated devices with an 8 MiB image, every acknowledgement 1 ms late as
// over a slow link: "lmtools-cli upgrade" with 8 jobs against 1, in-process through the same code
// the command line runs. Prints both wall times and the speed-up; every image must arrive whole.
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "CliBench.h"
#include "core/platform/Ipv4.h"
#include "core/platform/Socket.h"
#include "devsim/Simulator.h"
#include "devsim/TftpClient.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDevices = 16;
constexpr std::size_t kImageBytes = 8 << 20;
constexpr unsigned kAckDelayMs = 1;
constexpr double kSpeedUpTarget = 4.0;
const char* const kFirstDevice = "127.0.14.1";
const char* const kPc = "127.0.14.254";

// Seconds the batch took, or a negative number when it failed.
double upgrade(const std::vector<std::string>& hosts, const fs::path& image, int jobs) {
    // The demo devices are of mixed models; one image goes to all of them.
    std::vector<std::string> args = {"lmtools-cli", "upgrade",        "--quiet",
                                     "--yes",       "--ignore-model", "--password",
                                     "vorna",       "--jobs",         std::to_string(jobs)};
    args.insert(args.end(), hosts.begin(), hosts.end());
    args.push_back(image.string());
    const auto run = lm::bench::runCliTimed(args);
    if (run.status == 0) return run.seconds;
    std::printf("  --jobs %d failed (exit %d):\n%s%s", jobs, run.status, run.out.c_str(), run.err.c_str());
    return -1;
}

// Whether every device's flash of this run (the first, the second, ...) brought the whole image.
// A flash of an earlier run does not count: each run flashes every device once more.
bool everyImageWhole(const lm::sim::Simulator& simulator, uint32_t crc, std::size_t run) {
    bool whole = true;
    for (std::size_t i = 0; i < kDevices; ++i) {
        const auto flashes = simulator.flashes(i);
        if (flashes.size() != run) {
            std::printf("  device %zu: %zu flashes after run %zu\n", i + 1, flashes.size(), run);
            whole = false;
        } else if (const auto& flash = flashes.back();
                   !flash.complete || flash.bytes != kImageBytes || flash.crc32 != crc) {
            std::printf("  device %zu: %llu bytes, crc32 %08x%s%s\n", i + 1,
                        static_cast<unsigned long long>(flash.bytes), flash.crc32,
                        flash.complete ? "" : ", incomplete: ", flash.error.c_str());
            whole = false;
        }
    }
    return whole;
}

}  // namespace

int main() {
    const fs::path folder = fs::temp_directory_path() / ("batch_upgrade_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path image = folder / "zelvix-5206e-bench.bin";
    std::string bytes(kImageBytes, '\0');
    std::mt19937 random(14);
    std::generate(bytes.begin(), bytes.end(), [&] { return static_cast<char>(random()); });
    std::ofstream(image, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    const uint32_t crc = lm::sim::crc32(bytes);
    // Incoming echo requests allowed: no question, nothing of the PC's settings touched.
    const fs::path echoSetting = folder / "icmp_echo_ignore_all";
    std::ofstream(echoSetting) << "0\n";

    auto probe = lm::UdpSocket::open();
    if (!probe || !probe->bind(*lm::parseIpv4(kPc), 0)) return 1;
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(kDevices, *lm::parseIpv4(kFirstDevice));
    config.tftpPort = probe->localPort();
    probe.reset();
    for (auto& device : config.devices)
        device.shell.faults.ackDelayMs = kAckDelayMs;
    const auto devices = lm::bench::startCliDevices(std::move(config));
    if (!devices) return 1;
    const std::vector<std::string>& hosts = devices->hosts;
    const lm::sim::Simulator& simulator = *devices->simulator;
    ::setenv("LMTOOLS_INTERFACES", (std::string(kPc) + "/255.0.0.0").c_str(), 1);
    ::setenv("LMTOOLS_ECHO_SETTING", echoSetting.c_str(), 1);

    std::printf("batch upgrade, %zu simulated devices, 8 MiB image, acknowledgements %u ms late\n", kDevices,
                kAckDelayMs);
    const double one = upgrade(hosts, image, 1);
    const bool oneWhole = one > 0 && everyImageWhole(simulator, crc, 1);
    std::printf("  --jobs 1: %.2f s, images %s\n", one, oneWhole ? "whole" : "NOT WHOLE");
    const double eight = upgrade(hosts, image, 8);
    const bool eightWhole = eight > 0 && everyImageWhole(simulator, crc, 2);
    std::printf("  --jobs 8: %.2f s, images %s\n", eight, eightWhole ? "whole" : "NOT WHOLE");
    fs::remove_all(folder);
    const bool whole = oneWhole && eightWhole;
    const double speedUp = whole ? one / eight : 0;
    if (whole)
        std::printf("  speed-up %.1fx (target at least %.0fx: %s)\n", speedUp, kSpeedUpTarget,
                    speedUp >= kSpeedUpTarget ? "met" : "missed");
    lm::bench::printRow(
        lm::bench::format(
            "batch upgrade of %zu simulated devices with an 8 MiB image, each acknowledgement %u ms "
            "late, `--jobs 8` against `--jobs 1` (`bench/batch_upgrade_benchmark`)",
            kDevices, kAckDelayMs),
        lm::bench::format("%.1f s against %.1f s (%.1fx), %s", eight, one, speedUp,
                          whole ? "every image whole" : "NOT every image whole"),
        lm::bench::format("at least %.0fx faster", kSpeedUpTarget), whole && speedUp >= kSpeedUpTarget);
    if (!whole) return 1;
    return speedUp >= kSpeedUpTarget ? 0 : 1;
}
