// The production test over 50 simulated devices that take 200 ms for every shell command, as real
// ones take 100-500 ms: "lmtools-cli production" with 8 jobs against 1, in-process through the same
// code the command line runs. Prints both wall times, the speed-up, and whether the tables agree.

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "CliBench.h"
#include "core/platform/Ipv4.h"

namespace {

constexpr std::size_t kDevices = 50;
constexpr unsigned kLatencyMs = 200;
constexpr double kSpeedUpTarget = 5.0;
const char* const kFirstDevice = "127.0.3.1";

struct Run {
    double seconds;
    int status;
    std::string table;
};

Run production(const std::vector<std::string>& hosts, int jobs) {
    std::vector<std::string> args = {"lmtools-cli", "production", "--csv",
                                     "--quiet",     "--jobs",     std::to_string(jobs)};
    args.insert(args.end(), hosts.begin(), hosts.end());
    const auto run = lm::bench::runCliTimed(args);
    return {run.seconds, run.status, run.out};
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

    std::printf("production test, %zu simulated devices, %u ms per shell command\n", kDevices, kLatencyMs);
    const Run one = production(hosts, 1);
    std::printf("  --jobs 1: %.2f s (exit %d)\n", one.seconds, one.status);
    const Run eight = production(hosts, 8);
    std::printf("  --jobs 8: %.2f s (exit %d)\n", eight.seconds, eight.status);
    const double speedUp = one.seconds / eight.seconds;
    const bool same = one.table == eight.table && one.status == eight.status;
    std::printf("  speed-up %.1fx (target at least %.0fx); tables %s\n", speedUp, kSpeedUpTarget,
                same ? "the same" : "DIFFER");
    if (!same) std::printf("--jobs 1:\n%s--jobs 8:\n%s", one.table.c_str(), eight.table.c_str());
    lm::bench::printRow(
        lm::bench::format(
            "production test of %zu simulated devices answering each shell command after %u ms, "
            "`--jobs 8` against `--jobs 1` (`bench/production_benchmark`)",
            kDevices, kLatencyMs),
        lm::bench::format("%.1f s against %.1f s (%.1fx), %s", eight.seconds, one.seconds, speedUp,
                          same ? "the same table" : "the tables DIFFER"),
        lm::bench::format("at least %.0fx faster", kSpeedUpTarget), same && speedUp >= kSpeedUpTarget);
    return same && speedUp >= kSpeedUpTarget ? 0 : 1;
}
