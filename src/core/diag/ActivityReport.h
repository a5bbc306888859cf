#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "core/link/Outcome.h"
#include "core/link/Session.h"
#include "core/ops/WorkerTask.h"

namespace lm {

// The readings of the activity report, in the order the window and the listing show them.
enum class ActivityField {
    Mac,
    Ip,
    Mode,
    Version,
    ProcessVersion,
    Watchdog,
    Temperature,
    Uptime,
    Frames,
    Rate,
    ProcessShare,
    Errors,
    Pid,
    Exposure,
    BusDevices,
    BusErrors,
    Comments,  // the report's status: what it is doing, how it ended
};

// The ratings, in the order the window and the listing show them.
enum class ActivityCheck {
    PidRange,
    AllDevicesFound,
    TempOk,
    ErrorCount,
    FrameRate,
    ExposureOk,
    TestDuration,
    ChipVersions,
    MegaPix,
};

struct ActivityRatings {
    bool pidRange = false, allDevicesFound = false, tempOk = false, errorCount = false, frameRate = false,
         exposureOk = false, testDuration = false, chipVersions = false, megaPix = false;
};

// Everything the report read.
struct ActivityReport {
    std::string mac, ip, mode, version, processVersion, watchdog, temperature, uptime, frames, rate,
        processShare, errors, pid, exposure, busDevices, busErrors;
    std::string comments = "Static";
    ActivityRatings ratings;
};

// Each field and rating: its label in the window and its key in a listing.
struct ReportField {
    ActivityField field;
    const char* label;
    const char* key;
    std::string ActivityReport::*value;
};
inline constexpr ReportField kReportFields[] = {
    {ActivityField::Mac, "Mac:", "mac", &ActivityReport::mac},
    {ActivityField::Ip, "IP:", "ip", &ActivityReport::ip},
    {ActivityField::Mode, "Mode:", "mode", &ActivityReport::mode},
    {ActivityField::Version, "Version:", "version", &ActivityReport::version},
    {ActivityField::ProcessVersion, "Lumetra Ver:", "processVersion", &ActivityReport::processVersion},
    {ActivityField::Watchdog, "Watchdog Ver:", "watchdog", &ActivityReport::watchdog},
    {ActivityField::Temperature, "Temperature:", "temperature", &ActivityReport::temperature},
    {ActivityField::Uptime, "Uptime:", "uptime", &ActivityReport::uptime},
    {ActivityField::Frames, "Frames:", "frames", &ActivityReport::frames},
    {ActivityField::Rate, "Rate:", "rate", &ActivityReport::rate},
    {ActivityField::ProcessShare, "Zelvix Proc:", "processShare", &ActivityReport::processShare},
    {ActivityField::Errors, "Zelvix Errors:", "errors", &ActivityReport::errors},
    {ActivityField::Pid, "Zelvix PID:", "pid", &ActivityReport::pid},
    {ActivityField::Exposure, "Exposure:", "exposure", &ActivityReport::exposure},
    {ActivityField::BusDevices, "MBus Devices:", "busDevices", &ActivityReport::busDevices},
    {ActivityField::BusErrors, "MBus Errors:", "busErrors", &ActivityReport::busErrors},
    {ActivityField::Comments, "Comments:", "comments", &ActivityReport::comments},
};

struct ReportRating {
    ActivityCheck check;
    const char* text;
    const char* key;
    bool ActivityRatings::*value;
};
inline constexpr ReportRating kReportRatings[] = {
    {ActivityCheck::PidRange, "PID Range Correct", "pidRange", &ActivityRatings::pidRange},
    {ActivityCheck::AllDevicesFound, "All Devices Found", "allDevicesFound",
     &ActivityRatings::allDevicesFound},
    {ActivityCheck::TempOk, "Temp OK", "tempOk", &ActivityRatings::tempOk},
    {ActivityCheck::ErrorCount, "Error Count In Range", "errorCount", &ActivityRatings::errorCount},
    {ActivityCheck::FrameRate, "Frame Rate In Range", "frameRate", &ActivityRatings::frameRate},
    {ActivityCheck::ExposureOk, "Exp OK", "exposureOk", &ActivityRatings::exposureOk},
    {ActivityCheck::TestDuration, "Test Duration Sufficient", "testDuration", &ActivityRatings::testDuration},
    {ActivityCheck::ChipVersions, "Chip Versions OK", "chipVersions", &ActivityRatings::chipVersions},
    {ActivityCheck::MegaPix, "MegaPix", "megaPix", &ActivityRatings::megaPix},
};

// A field's or a rating's row: the tables list them in the order of their enum.
constexpr const ReportField& reportField(ActivityField field) {
    return kReportFields[static_cast<std::size_t>(field)];
}
constexpr const ReportRating& reportRating(ActivityCheck check) {
    return kReportRatings[static_cast<std::size_t>(check)];
}
constexpr bool reportTablesInOrder() {
    for (std::size_t i = 0; i < std::size(kReportFields); ++i)
        if (static_cast<std::size_t>(kReportFields[i].field) != i) return false;
    for (std::size_t i = 0; i < std::size(kReportRatings); ++i)
        if (static_cast<std::size_t>(kReportRatings[i].check) != i) return false;
    return std::size(kReportFields) == static_cast<std::size_t>(ActivityField::Comments) + 1 &&
           std::size(kReportRatings) == static_cast<std::size_t>(ActivityCheck::MegaPix) + 1;
}
static_assert(reportTablesInOrder());

inline constexpr const char* kReportRatingNote =
    "Note: This activity report rating is only valid when the device is placed under controlled testing "
    "conditions.";

struct ActivityReportRequest {
    std::string deviceId;  // shown as the Mac field
    std::string address;   // shown as the IP field
    std::string startPassword = Session::kDefaultPassword;
    // Each field and rating as soon as it is known, on the worker's thread; neither is called once
    // the window is closing.
    std::function<void(ActivityField, const std::string&)> onField;
    std::function<void(ActivityCheck, bool)> onRating;
};

struct ActivityReportResult {
    Outcome outcome = Outcome::Failed;
    bool loggedIn = false;  // whether anything was read: what was, before a failure, is kept
    ActivityReport report;  // its comments say how the report ended
};

// The activity report's worker: logs in, runs the fixed series of read-only commands and rates
// what they show. Ok when the report completed; the link is closed without "quit". Changes
// nothing on the device.
ActivityReportResult reportWorker(WorkerTask& task, const ActivityReportRequest& request);

}  // namespace lm
