#include "core/diag/ActivityReportJson.h"

#include <cstdio>

#include <nlohmann/json.hpp>

#include "core/diag/ReadingText.h"
#include "core/discovery/DeviceRecord.h"

namespace lm {

namespace {

using Json = nlohmann::ordered_json;

// What the window shows in a text field for a value it could not read, or one that does not apply
// to the device (a video server has no camera process).
constexpr std::string_view kStandIns[] = {
    "Can't find ROM version!", "Can't find uptime!", "none", "No chip!", "(CCD)", "na", "None", "Ok"};

Json readingText(const std::string& text) {
    for (const auto standIn : kStandIns)
        if (text == standIn) return nullptr;
    return textValue(text);
}

// "1 days, 2 hrs, 3 min, 4 sec" as seconds.
Json uptimeSeconds(const std::string& text) {
    long long days = 0, hours = 0, minutes = 0, seconds = 0;
    int end = 0;
    if (std::sscanf(text.c_str(), "%lld days, %lld hrs, %lld min, %lld sec%n", &days, &hours, &minutes,
                    &seconds, &end) != 4 ||
        static_cast<std::size_t>(end) != text.size())
        return nullptr;
    return ((days * 24 + hours) * 60 + minutes) * 60 + seconds;
}

Json fieldValue(ActivityField field, const std::string& text) {
    switch (field) {
        case ActivityField::Temperature:
            return numberValue(text, "F");
        case ActivityField::ProcessShare:
            return numberValue(text, "%");
        case ActivityField::Uptime:
            return uptimeSeconds(text);
        case ActivityField::Frames:
        case ActivityField::Rate:
        case ActivityField::Errors:
        case ActivityField::Pid:
        case ActivityField::Exposure:
        case ActivityField::BusDevices:
        case ActivityField::BusErrors:
            return numberValue(text);
        default:
            return readingText(text);
    }
}

}  // namespace

std::string activityReportJson(const ActivityReport& report) {
    Json document;
    const Json id = isUnknownText(report.mac) ? Json(nullptr) : textValue(report.mac);
    document["id"] = id;
    const auto mac = id.is_string() ? macOfDeviceId(id.get<std::string>()) : std::nullopt;
    document["mac"] = mac ? Json(*mac) : Json(nullptr);
    document["address"] = textValue(report.ip);
    for (const ReportField& field : kReportFields)
        if (field.field != ActivityField::Mac && field.field != ActivityField::Ip)
            document[field.key] = fieldValue(field.field, report.*(field.value));
    Json ratings;
    for (const ReportRating& rating : kReportRatings)
        ratings[rating.key] = report.ratings.*(rating.value);
    document["ratings"] = ratings;
    // Device text need not be UTF-8: what is not becomes U+FFFD rather than failing the output.
    return document.dump(2, ' ', false, Json::error_handler_t::replace) + '\n';
}

}  // namespace lm
