// A site's backup of 50 simulated devices that take 200 ms for every shell command, as real ones
// take 100-500 ms: "lmtools-cli config backup" with 8 jobs against 1, in-process through the same
// code the command line runs. Prints both wall times, the speed-up, and whether both files hold
// every device with the same settings.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "BenchRow.h"
#include "CliBench.h"
#include "core/platform/Ipv4.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t kDevices = 50;
constexpr unsigned kLatencyMs = 200;
constexpr double kSpeedUpTarget = 5.0;
const char* const kFirstDevice = "127.0.16.1";

struct Run {
    double seconds;
    int status;
    nlohmann::json devices;  // the file's devices, null when it could not be read
};

Run backup(const std::vector<std::string>& hosts, const fs::path& file, int jobs) {
    std::vector<std::string> args = {"lmtools-cli",        "config", "backup",     "--quiet", "--jobs",
                                     std::to_string(jobs), "-o",     file.string()};
    args.insert(args.end(), hosts.begin(), hosts.end());
    const auto cli = lm::bench::runCliTimed(args);
    Run run{cli.seconds, cli.status, nullptr};
    if (cli.status != 0)
        std::printf("  --jobs %d failed (exit %d):\n%s%s", jobs, cli.status, cli.out.c_str(),
                    cli.err.c_str());
    const auto json = nlohmann::json::parse(std::ifstream(file), nullptr, false);
    if (!json.is_discarded() && json.contains("devices")) run.devices = json["devices"];
    return run;
}

}  // namespace

int main() {
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(kDevices, *lm::parseIpv4(kFirstDevice));
    for (auto& device : config.devices)
        device.shell.commandLatencyMs = kLatencyMs;
    const auto devices = lm::bench::startCliDevices(std::move(config));
    if (!devices) return 1;
    const std::vector<std::string>& hosts = devices->hosts;
    const fs::path folder = fs::temp_directory_path() / ("site_backup_bench_" + std::to_string(::getpid()));
    fs::create_directories(folder);

    std::printf("config backup, %zu simulated devices, %u ms per shell command\n", kDevices, kLatencyMs);
    const Run one = backup(hosts, folder / "one.json", 1);
    std::printf("  --jobs 1: %.2f s (exit %d)\n", one.seconds, one.status);
    const Run eight = backup(hosts, folder / "eight.json", 8);
    std::printf("  --jobs 8: %.2f s (exit %d)\n", eight.seconds, eight.status);
    fs::remove_all(folder);
    const double speedUp = one.seconds / eight.seconds;
    const bool same = one.status == 0 && eight.status == 0 && one.devices.size() == kDevices &&
                      one.devices == eight.devices;
    std::printf("  speed-up %.1fx (target at least %.0fx: %s); files %s\n", speedUp, kSpeedUpTarget,
                speedUp >= kSpeedUpTarget ? "met" : "missed",
                same ? "hold every device, the same settings" : "DIFFER OR MISS DEVICES");
    lm::bench::printRow(
        lm::bench::format(
            "`config backup` of %zu simulated devices answering each shell command after %u ms, "
            "`--jobs 8` against `--jobs 1` (`bench/site_backup_benchmark`)",
            kDevices, kLatencyMs),
        lm::bench::format(
            "%.1f s against %.1f s (%.1fx), %s", eight.seconds, one.seconds, speedUp,
            same ? "both files every device with the same settings" : "the files DIFFER or miss devices"),
        lm::bench::format("at least %.0fx faster", kSpeedUpTarget), same && speedUp >= kSpeedUpTarget);
    return same && speedUp >= kSpeedUpTarget ? 0 : 1;
}
