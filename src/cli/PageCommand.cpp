#include <filesystem>
#include <system_error>

#include "Command.h"
#include "ExitStatus.h"
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

class PageCommand : public Command {
public:
    std::string name() const override { return "page"; }
    std::string summary() const override {
        return "Find every device and write a web page that shows them all";
    }
    void define(CLI::App& command) override {
        command
            .add_option("-o,--output", file_,
                        "Where to write the page (default cameras.html in the current directory); - for "
                        "standard output")
            ->type_name("FILE");
        command
            .add_option("--width", screenWidth_,
                        "Width in pixels of the screen the page is for: one 320-pixel picture per column, "
                        "less a scroll bar (default 1920, a full HD screen)")
            ->check(CLI::PositiveNumber)
            ->type_name("PIXELS");
    }
    int run(CommandContext& context) override {
        auto& out = context.out;
        DeviceInventory inventory;
        scanInto(inventory, context.session, context.err);
        const auto records = inventory.snapshot();
        const int cellsPerRow =
            devicesPageCellsPerRow(screenWidth_ - kBorderAndScrollBarPixels, records.size());
        const auto text = devicesPageText(records, cellsPerRow);

        if (file_ == "-") {
            out << text << std::flush;
            return out ? kExitDone : kExitFailed;
        }
        const auto path = shownPath(file_);
        if (!writeDevicesPage(file_, text)) {
            context.err << "Unable to create the file on the desktop.\n" << path << '\n';
            return kExitFailed;
        }
        out << "Wrote " << path << " (" << records.size()
            << (records.size() == 1 ? " device, " : " devices, ") << cellsPerRow << " to a row).\n";
        return kExitDone;
    }

private:
    std::string file_ = "cameras.html";  // "-" writes to standard output
    int screenWidth_ = 1920;             // pixels of the screen the page is meant for
};

}  // namespace

std::unique_ptr<Command> makePageCommand() {
    return std::make_unique<PageCommand>();
}

}  // namespace lm::cli
