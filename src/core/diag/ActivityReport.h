#pragma once

#include <string>

#include "core/link/Outcome.h"
#include "core/link/Session.h"
#include "core/ops/WorkerTask.h"

namespace lm {

// Control ids of the activity report's window.
constexpr int kReportClose = 1;
constexpr int kReportMac = 1200;
constexpr int kReportIp = 1201;
constexpr int kReportMode = 1202;
constexpr int kReportVersion = 1203;
constexpr int kReportProcessVersion = 1204;
constexpr int kReportWatchdog = 1205;
constexpr int kReportTemperature = 1206;
constexpr int kReportUptime = 1207;
constexpr int kReportFrames = 1208;
constexpr int kReportRate = 1209;
constexpr int kReportProcessShare = 1210;
constexpr int kReportErrors = 1211;
constexpr int kReportPid = 1212;
constexpr int kReportExposure = 1213;
constexpr int kReportBusDevices = 1214;
constexpr int kReportBusErrors = 1215;
constexpr int kReportComments = 1216;

constexpr int kRatingErrorCount = 1171;
constexpr int kRatingAllDevicesFound = 1172;
constexpr int kRatingFrameRate = 1173;
constexpr int kRatingPidRange = 1175;
constexpr int kRatingTestDuration = 1176;
constexpr int kRatingChipVersions = 1177;
constexpr int kRatingTempOk = 1181;
constexpr int kRatingExposureOk = 1184;
constexpr int kRatingMegaPix = 1185;

struct ActivityRatings {
    bool pidRange = false, allDevicesFound = false, tempOk = false, errorCount = false, frameRate = false,
         exposureOk = false, testDuration = false, chipVersions = false, megaPix = false;
};

// What the report's window shows, kept for the front ends that print it.
struct ActivityReport {
    std::string mac, ip, mode, version, processVersion, watchdog, temperature, uptime, frames, rate,
        processShare, errors, pid, exposure, busDevices, busErrors;
    std::string comments = "Static";
    ActivityRatings ratings;
};

// Each field and rating: its control, its label in the window and its key in a listing.
struct ReportField {
    int id;
    const char* label;
    const char* key;
    std::string ActivityReport::*value;
};
inline constexpr ReportField kReportFields[] = {
    {kReportMac, "Mac:", "mac", &ActivityReport::mac},
    {kReportIp, "IP:", "ip", &ActivityReport::ip},
    {kReportMode, "Mode:", "mode", &ActivityReport::mode},
    {kReportVersion, "Version:", "version", &ActivityReport::version},
    {kReportProcessVersion, "Lumetra Ver:", "processVersion", &ActivityReport::processVersion},
    {kReportWatchdog, "Watchdog Ver:", "watchdog", &ActivityReport::watchdog},
    {kReportTemperature, "Temperature:", "temperature", &ActivityReport::temperature},
    {kReportUptime, "Uptime:", "uptime", &ActivityReport::uptime},
    {kReportFrames, "Frames:", "frames", &ActivityReport::frames},
    {kReportRate, "Rate:", "rate", &ActivityReport::rate},
    {kReportProcessShare, "Zelvix Proc:", "processShare", &ActivityReport::processShare},
    {kReportErrors, "Zelvix Errors:", "errors", &ActivityReport::errors},
    {kReportPid, "Zelvix PID:", "pid", &ActivityReport::pid},
    {kReportExposure, "Exposure:", "exposure", &ActivityReport::exposure},
    {kReportBusDevices, "MBus Devices:", "busDevices", &ActivityReport::busDevices},
    {kReportBusErrors, "MBus Errors:", "busErrors", &ActivityReport::busErrors},
    {kReportComments, "Comments:", "comments", &ActivityReport::comments},
};

struct ReportRating {
    int id;
    const char* text;
    const char* key;
    bool ActivityRatings::*value;
};
inline constexpr ReportRating kReportRatings[] = {
    {kRatingPidRange, "PID Range Correct", "pidRange", &ActivityRatings::pidRange},
    {kRatingAllDevicesFound, "All Devices Found", "allDevicesFound", &ActivityRatings::allDevicesFound},
    {kRatingTempOk, "Temp OK", "tempOk", &ActivityRatings::tempOk},
    {kRatingErrorCount, "Error Count In Range", "errorCount", &ActivityRatings::errorCount},
    {kRatingFrameRate, "Frame Rate In Range", "frameRate", &ActivityRatings::frameRate},
    {kRatingExposureOk, "Exp OK", "exposureOk", &ActivityRatings::exposureOk},
    {kRatingTestDuration, "Test Duration Sufficient", "testDuration", &ActivityRatings::testDuration},
    {kRatingChipVersions, "Chip Versions OK", "chipVersions", &ActivityRatings::chipVersions},
    {kRatingMegaPix, "MegaPix", "megaPix", &ActivityRatings::megaPix},
};

inline constexpr const char* kReportRatingNote =
    "Note: This activity report rating is only valid when the device is placed under controlled testing "
    "conditions.";

// The activity report's worker: logs in with startPassword, runs the fixed series of read-only
// commands, and fills report (whose mac and ip the caller sets) and the window's fields and boxes
// as it goes. Ok when the report completed; the link is closed without "quit". Changes nothing on
// the device.
Outcome reportWorker(WorkerTask& task, ActivityReport& report,
                     const std::string& startPassword = Session::kDefaultPassword);

}  // namespace lm
