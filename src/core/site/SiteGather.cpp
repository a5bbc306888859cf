#include "core/site/SiteGather.h"

#include <map>
#include <memory>
#include <mutex>

#include "core/diag/ActivityReport.h"
#include "core/diag/ProductionTest.h"
#include "core/diag/ReadingText.h"
#include "core/discovery/PictureFormat.h"
#include "core/discovery/ThumbnailGeometry.h"
#include "core/http/HttpFetcher.h"
#include "core/ops/JobPool.h"
#include "core/ops/OperationState.h"
#include "core/ops/WorkerTask.h"
#include "core/wizard/SettingsReader.h"
#include "core/wizard/SettingsWords.h"
#include "core/wizard/WizardPage.h"
#include "core/wizard/WizardSession.h"

namespace lm {

namespace {

// Far more than a camera's picture, far less than what a lying server could send.
constexpr std::size_t kMaxPictureBytes = 4 * 1024 * 1024;
constexpr const char* kStopped = "stopped before it was read";

// Nobody watches a device being read for the report: its last status line is kept as the reason
// of a failure, and every question is answered No.
class QuietChannel : public WorkerChannel {
public:
    void status(const std::string& text) override {
        if (!text.empty()) last_ = text;
    }
    void progressRange(int, int) override {}
    void progress(int) override {}
    void beep() override {}
    Answer ask(const Question&) override { return Answer::No; }
    const std::string& last() const { return last_; }

private:
    std::string last_;
};

class NoWindow : public ProductionUi {
public:
    explicit NoWindow(const std::atomic<bool>* stop) : stop_(stop) {}
    void setStatus(const std::string&) override {}
    void setCell(std::size_t, ProductionColumn, const std::string&) override {}
    bool closing() override { return stop_ && stop_->load(); }

private:
    const std::atomic<bool>* stop_;
};

std::string firmwareText(const FirmwareVersion& firmware) {
    return std::to_string(firmware.major) + "." + std::to_string(firmware.minor) + "." +
           std::to_string(firmware.patch);
}

SiteDevice factsOf(const DeviceRecord& record) {
    SiteDevice device;
    device.id = record.id;
    device.mac = !record.mac.empty() ? record.mac : macOfDeviceId(record.id).value_or("");
    device.address = record.address;
    device.type = record.deviceType;
    device.firmware = record.version;
    return device;
}

void readSiteSettings(SiteDevice& device, Session& session, const std::string& host) {
    WizardSession wizard(session);
    wizard.settings().targetIp = host;
    session.setConnectionIsNetwork(true);
    QuietChannel channel;
    WizardPage page(channel, std::make_shared<OperationState>());
    const Outcome read = readSettings(wizard, page, nullptr);
    if (read == Outcome::Ok) {
        device.settings = settingsInWords(wizard.settings());
        if (device.firmware.empty() || isUnknownText(device.firmware) || device.firmware == kArpOnlyVersion)
            device.firmware = firmwareText(session.firmware());
        return;
    }
    device.settingsProblem = read == Outcome::Refused ? "the device refused the password"
                             : channel.last().empty() ? "no answer"
                                                      : channel.last();
}

SiteDevice::Tests activityTests(Session& session, const SiteDevice& device, const std::string& host,
                                const std::string& password) {
    auto channel = std::make_shared<QuietChannel>();
    WorkerTask task(session, channel, std::make_shared<OperationState>(), nullptr, host, nullptr);
    ActivityReportRequest request;
    request.deviceId = device.id;
    request.address = host;
    request.startPassword = password;
    const ActivityReportResult result = reportWorker(task, request);

    SiteDevice::Tests tests;
    tests.reportComplete = result.outcome == Outcome::Ok;
    tests.reportComment = result.report.comments;
    for (const ReportRating& rating : kReportRatings)
        tests.ratings.emplace_back(rating.text, result.report.ratings.*(rating.value));
    if (const auto temperature = numberValue(result.report.temperature, "F"); temperature.is_number())
        tests.temperatureF = temperature.get<double>();
    if (const auto rate = numberValue(result.report.rate); rate.is_number())
        tests.frameRate = rate.get<double>();
    tests.temperatureOk = result.report.ratings.tempOk;
    tests.frameRateOk = result.report.ratings.frameRate;
    return tests;
}

void addVerdicts(std::vector<SiteDevice>& devices, const std::vector<DeviceRecord>& records,
                 const SiteGatherRequest& request, const std::atomic<bool>* stop) {
    // The test's own order is by ID; each record carries its card's place through it.
    std::vector<DeviceRecord> numbered = records;
    for (std::size_t i = 0; i < numbered.size(); ++i)
        numbered[i].key = i;
    const auto ordered = productionOrder(std::move(numbered));
    NoWindow window(stop);
    const auto rows =
        productionWorker(ordered, window, {request.profile, request.timing, request.password, request.jobs});
    for (std::size_t i = 0; i < rows.size() && i < ordered.size(); ++i) {
        SiteDevice& device = devices[ordered[i].key];
        if (!device.tests) device.tests = SiteDevice::Tests{};
        device.tests->verdict = verdictText(rows[i].verdict);
        for (std::size_t column = 1; column < kProductionColumns; ++column) {
            const std::string& cell = rows[i].cells[column];
            if (cell.starts_with("No") || cell.starts_with("??") || cell == "Timeout" || cell == "Password")
                device.tests->productionFindings.push_back(std::string(kProductionHeaders[column]) + " " +
                                                           cell);
        }
    }
}

}  // namespace

std::vector<DeviceRecord> siteRecords(const std::vector<DeviceRecord>& records) {
    std::vector<DeviceRecord> kept;
    std::map<std::string, std::size_t> byHost;
    for (const DeviceRecord& record : records) {
        const auto [at, added] = byHost.emplace(record.hostPart(), kept.size());
        if (added)
            kept.push_back(record);
        else if (record.source == DeviceSource::probe && kept[at->second].source != DeviceSource::probe)
            kept[at->second] = record;
    }
    return kept;
}

void fetchSitePicture(SiteDevice& device, const std::string& address, const NetworkProfile& profile) {
    HttpRequest request;
    request.port = profile.httpPort;
    request.timeout = Milliseconds(5000);
    request.fetchTimeout = Milliseconds(10000);
    request.maxBodyBytes = kMaxPictureBytes;
    HttpFetcher fetcher;
    if (!fetcher.navigate("http://" + address + "/image.jpg", request)) {
        device.pictureProblem = fetcher.statusCode() > 0
                                    ? "the web server answered " + std::to_string(fetcher.statusCode())
                                    : "no answer from the web server";
        return;
    }
    const auto contentType = fetcher.header("Content-Type").value_or("");
    if (!ThumbnailGeometry::acceptable(fetcher.statusCode(), contentType, fetcher.body().size())) {
        device.pictureProblem = "the web server sent no picture";
        return;
    }
    const auto format = pictureFormat(fetcher.body());
    if (!format) {
        device.pictureProblem = "the picture cannot be read";
        return;
    }
    device.picture.assign(fetcher.body().begin(), fetcher.body().end());
    device.pictureType = format->mimeType;
}

std::vector<SiteDevice> gatherSite(const std::vector<DeviceRecord>& records, const SiteGatherRequest& request,
                                   const std::function<void(std::size_t, const SiteDevice&)>& onDevice,
                                   const std::atomic<bool>* stop) {
    std::vector<SiteDevice> devices;
    for (const DeviceRecord& record : records)
        devices.push_back(factsOf(record));
    std::mutex reporting;
    std::size_t done = 0;
    JobPool::run(records.size(), request.jobs, [&](JobPool& pool) {
        Session session(request.profile, request.timing);
        session.setStartPassword(request.password);
        while (const auto index = pool.next()) {
            SiteDevice& device = devices[*index];
            const std::string host = records[*index].hostPart();
            if (stop && stop->load()) {
                device.settingsProblem = device.pictureProblem = kStopped;
            } else {
                fetchSitePicture(device, records[*index].address, request.profile);
                readSiteSettings(device, session, host);
                if (request.withTests) device.tests = activityTests(session, device, host, request.password);
            }
            const std::lock_guard lock(reporting);
            ++done;
            if (onDevice) onDevice(done, device);
        }
    });
    if (request.withTests && !(stop && stop->load())) addVerdicts(devices, records, request, stop);
    return devices;
}

}  // namespace lm
