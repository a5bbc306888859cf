#include "PageCommand.h"

#include <filesystem>
#include <system_error>

#include "ScanCommand.h"
#include "discovery/DeviceInventory.h"
#include "discovery/DevicesPage.h"

namespace lm::cli {

namespace {

// The desktop program lays the page out for the screen less two window borders and a vertical
// scroll bar; these are the usual widths of those.
constexpr int kBorderAndScrollBarPixels = 2 * 1 + 17;

std::string shownPath(const std::string& file) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    return error ? file : absolute.string();
}

}  // namespace

int runPage(const Session& session, const PageOptions& options, std::ostream& out, std::ostream& err) {
    DeviceInventory inventory;
    scanInto(inventory, session, err);
    const auto records = inventory.snapshot();
    const int cellsPerRow =
        devicesPageCellsPerRow(options.screenWidth - kBorderAndScrollBarPixels, records.size());
    const auto text = devicesPageText(records, cellsPerRow);

    if (options.file == "-") {
        out << text << std::flush;
        return out ? 0 : 1;
    }
    const auto path = shownPath(options.file);
    if (!writeDevicesPage(options.file, text)) {
        err << "Unable to create the file on the desktop.\n" << path << '\n';
        return 1;
    }
    out << "Wrote " << path << " (" << records.size() << (records.size() == 1 ? " device, " : " devices, ")
        << cellsPerRow << " to a row).\n";
    return 0;
}

}  // namespace lm::cli
