// The site report of 200 simulated devices: "lmtools-cli site-report" with every device's picture
// and settings, in-process through the same code the command line runs. Prints the wall time and the
// file's size; the target is under 10 s.
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchRow.h"
#include "CliBench.h"
#include "core/platform/Ipv4.h"

namespace {

constexpr std::size_t kDevices = 200;
constexpr double kTargetSeconds = 10.0;
// One job per device: reading a device is mostly waiting (about 4 s for its shell prompt alone).
constexpr int kJobs = 200;
const char* const kFirstDevice = "127.0.4.1";

}  // namespace

int main(int argc, char** argv) {
    const bool withTests = argc > 1 && std::string(argv[1]) == "--with-tests";
    lm::sim::SimulatorConfig config;
    config.devices = lm::sim::demoDevices(kDevices, *lm::parseIpv4(kFirstDevice));
    const auto devices = lm::bench::startCliDevices(std::move(config));
    if (!devices) return 1;
    const std::vector<std::string>& hosts = devices->hosts;

    const auto file = std::filesystem::temp_directory_path() /
                      ("site-report-bench-" + std::to_string(::getpid()) + ".html");
    std::vector<std::string> args = {"lmtools-cli", "site-report",        "-o", file.string(), "--quiet",
                                     "--jobs",      std::to_string(kJobs)};
    if (withTests) args.emplace_back("--with-tests");
    args.insert(args.end(), hosts.begin(), hosts.end());
    const auto [seconds, status, out, err] = lm::bench::runCliTimed(args);
    std::error_code sizeError;
    const auto bytes = std::filesystem::file_size(file, sizeError);
    std::filesystem::remove(file, sizeError);

    std::printf(
        "site report%s, %zu simulated devices, --jobs %d: %.2f s (exit %d, target under %.0f s), "
        "%.1f MB (%.0f KB a device)\n",
        withTests ? " with the tests" : "", kDevices, kJobs, seconds, status, kTargetSeconds,
        static_cast<double>(bytes) / 1e6, static_cast<double>(bytes) / 1e3 / kDevices);
    if (!err.empty()) std::printf("%s", err.c_str());
    // Exit 3 is a report that lists failing devices, which the demo's mix of models has.
    const bool met = (status == 0 || status == 3) && bytes > 0 && seconds < kTargetSeconds;
    lm::bench::printRow(
        lm::bench::format(
            "site report of %zu simulated devices given as HOSTs, pictures and settings%s, `--jobs %d` "
            "(`bench/site_report_benchmark%s`)",
            kDevices, withTests ? " and the tests" : "", kJobs, withTests ? " --with-tests" : ""),
        lm::bench::format("%.1f s, a %.1f MB file (%.0f KB a device)", seconds,
                          static_cast<double>(bytes) / 1e6, static_cast<double>(bytes) / 1e3 / kDevices),
        lm::bench::format("under %.0f s", kTargetSeconds), met);
    return met ? 0 : 1;
}
