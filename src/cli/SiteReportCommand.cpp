#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/InterruptHandler.h"
#include "cli/ScanCommand.h"
#include "cli/TerminalText.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DeviceProbe.h"
#include "core/discovery/SiteReportHtml.h"
#include "core/discovery/SiteSummary.h"
#include "core/platform/Ipv4.h"
#include "core/site/SiteGather.h"

namespace lm::cli {

namespace {

// Reading is mostly waiting on each device (the shell prompt alone takes seconds), so a site is read
// with many devices at once.
constexpr int kMaxJobs = 256;

// An ending signal stops the report as Stop does: no further device is begun, the file is still
// written with what was read. A second one ends the program at once.
std::atomic<bool> gStopRequested{false};

void requestStop(int) {
    if (gStopRequested.exchange(true)) ::_exit(kExitInterrupted);
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::gmtime_r(&now, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &parts);
    return text;
}

std::string absolutePath(const std::string& file) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    return error ? file : absolute.string();
}

class SiteReportCommand : public Command {
public:
    std::string name() const override { return "site-report"; }
    std::string summary() const override {
        return "Write a handover report of the site: one HTML file with every device's picture and settings";
    }
    std::string usage() const override { return "site-report [--all | HOST...] -o SITE.html"; }
    void define(CLI::App& command) override {
        auto* hosts = command.add_option("HOST", hosts_, "Device addresses (else every device a scan finds)");
        command.add_flag("--all", all_, "Every device a scan finds (the default without HOST)")
            ->excludes(hosts);
        command.add_option("-o,--output", file_, "The report file to write; - for standard output")
            ->type_name("SITE.html")
            ->required();
        command.add_flag("--with-tests", withTests_,
                         "Add each device's activity report ratings and production verdict, and a chart of "
                         "temperature and frame rate");
        command.add_option("--title", title_, "The report's heading")->type_name("TEXT");
        jobs_.addTo(command, "--jobs", "Devices read at once");
        password_.addTo(command, "Admin password (else LMTOOLS_PASSWORD, else the default)");
    }
    std::string check() override {
        if (auto problem = jobs_.check(); !problem.empty()) return problem;
        for (const std::string& host : hosts_)
            if (auto problem = hostProblem(host); !problem.empty()) return problem;
        return password_.check();
    }
    int run(CommandContext& context) override {
        // The report goes to a file beside the one asked for and takes its name only when whole, so
        // a report cut short never replaces a good one; made first, so a wrong folder costs no scan.
        const bool toFile = file_ != "-";
        const std::string partial = file_ + ".partial";
        if (toFile) {
            std::ofstream probe(partial, std::ios::binary | std::ios::trunc);
            if (!probe) {
                context.error("site-report: cannot write " + absolutePath(file_) + ": " +
                              std::strerror(errno));
                return kExitFailed;
            }
        }
        const auto records = siteRecords(findDevices(context));
        if (records.empty()) {
            if (toFile) std::remove(partial.c_str());
            context.error("No device was found.");
            return kExitFailed;
        }

        SiteGatherRequest request{context.session.profile(), context.session.timing(),
                                  password_.given().value_or(Session::kDefaultPassword), jobs_.value(),
                                  withTests_};
        const bool terminal = isTerminal(context.err);
        const auto progress = [&](std::size_t done, const SiteDevice& device) {
            if (context.quiet) return;
            const std::string name = device.id.empty() ? device.address : device.id;
            context.err << "Read " << done << " of " << records.size() << ": "
                        << (terminal ? terminalSafe(name) : name) << '\n';
        };
        gStopRequested = false;
        const auto devices = [&] {
            const InterruptHandler guard(requestStop);
            return gatherSite(records, request, progress, &gStopRequested);
        }();
        const std::string html = siteReportHtml(devices, {title_, utcNow(), withTests_});

        if (!toFile) {
            context.out << html << std::flush;
            if (!context.out) return kExitFailed;
        } else if (!writeWhole(partial, html) || std::rename(partial.c_str(), file_.c_str()) != 0) {
            context.error("site-report: cannot write " + absolutePath(file_) + ": " + std::strerror(errno));
            std::remove(partial.c_str());
            return kExitFailed;
        }
        const SiteSummary summary = siteSummary(devices);
        if (!context.quiet && toFile)
            context.err << "Wrote " << absolutePath(file_) << " (" << devices.size()
                        << (devices.size() == 1 ? " device, " : " devices, ") << summary.failing.size()
                        << " failing, " << html.size() << " bytes).\n";
        if (gStopRequested) {
            context.error("site-report: interrupted; devices not read are marked so in the report");
            return kExitInterrupted;
        }
        return summary.failing.empty() ? kExitDone : kExitFindings;
    }

private:
    static bool writeWhole(const std::string& path, const std::string& text) {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(text.data(), static_cast<std::streamsize>(text.size()));
        file.close();  // flushes: a full disk shows here
        return !file.fail();
    }

    std::vector<DeviceRecord> findDevices(CommandContext& context) const {
        if (hosts_.empty()) {
            DeviceInventory inventory;
            scanInto(inventory, context);
            return inventory.snapshot();
        }
        std::vector<DeviceRecord> devices;
        for (const std::string& host : hosts_) {
            DeviceRecord record;
            record.address = host;
            // A device that does not answer the probe is still read, named by its address.
            if (const auto reply =
                    probeDevice(*parseIpv4(host), context.session.profile(), kDeviceProbeWait)) {
                record.id = reply->id;
                record.deviceType = reply->deviceType;
                record.version = reply->version;
            }
            devices.push_back(std::move(record));
        }
        return devices;
    }

    std::vector<std::string> hosts_;
    bool all_ = false, withTests_ = false;
    std::string file_, title_ = "Site Report";
    NumberOption jobs_{1, kMaxJobs, 8};
    PasswordOption password_;
};

}  // namespace

std::unique_ptr<Command> makeSiteReportCommand() {
    return std::make_unique<SiteReportCommand>();
}

}  // namespace lm::cli
