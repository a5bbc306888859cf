#pragma once

#include <string>

namespace lm::gui {

// How the device list is shown; restored and saved by the main window.
struct ViewSettings {
    enum View { Thumbnails = 0, Details = 1, Icons = 2, List = 3, Tiles = 4 };
    enum Column { ById = 0, ByAddress = 1, ByType = 2, ByVersion = 3 };

    int viewType = Details;
    bool previewImage = false;
    bool showGrid = true;
    bool showGroups = true;
    int groupBy = ByType;
    int sortBy = ById;
    bool sortDescending = false;
    std::string scanInterface;  // the interface the scans keep to; empty for every one
};

}  // namespace lm::gui
