#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace lm {

// What the site report shows of one device; every text here came from the device or the scan and
// is untrusted.
struct SiteDevice {
    std::string id;
    std::string mac;  // "02:4C:55:C2:00:02"; empty when not known
    std::string address;
    std::string type;
    std::string firmware;  // the version line's words as the scan gave them

    // The current picture and its type ("image/jpeg"); when there is none, why not.
    std::vector<unsigned char> picture;
    std::string pictureType;
    std::string pictureProblem;

    // The network and upload settings in plain words, as label and text; when they could not be
    // read, why not.
    std::vector<std::pair<std::string, std::string>> settings;
    std::string settingsProblem;

    // With the tests: the activity report's ratings and the production verdict.
    struct Tests {
        bool reportComplete = false;
        std::string reportComment;                          // how the report ended
        std::vector<std::pair<std::string, bool>> ratings;  // each rating's text and whether it holds
        std::string verdict;                                // "OK", "(T)" or "No"; empty when untested
        std::vector<std::string> productionFindings;        // each failed column and its cell: "Devices ??"
        std::optional<double> temperatureF;
        std::optional<double> frameRate;
        bool temperatureOk = false;
        bool frameRateOk = false;
    };
    std::optional<Tests> tests;
};

}  // namespace lm
