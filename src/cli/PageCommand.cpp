#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/Command.h"
#include "cli/ExitStatus.h"
#include "cli/ScanCommand.h"
#include "core/discovery/DeviceInventory.h"
#include "core/discovery/DevicesPage.h"

namespace lm::cli {

namespace {

// The desktop program lays the page out for the screen less two window borders and a vertical
// scroll bar; these are the usual widths of those.
constexpr int kBorderAndScrollBarPixels = 2 * 1 + 17;
// Wider than any screen made, small enough that no sum with it overflows.
constexpr int kMaxScreenWidth = 100000;

std::string shownPath(const std::string& file) {
    std::error_code error;
    const auto absolute = std::filesystem::absolute(file, error);
    return error ? file : absolute.string();
}

// Why the page could not be written to path, in the system's words; empty when it can be. Checked
// before the scan, so a typo does not cost a scan's wait. An existing file is left as it is, and
// one made only to try is taken away again.
std::string unwritableReason(const std::string& path) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const bool made = fd >= 0;
    if (!made && errno == EEXIST) fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    ::close(fd);
    if (made) ::unlink(path.c_str());
    return {};
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
        screenWidth_.addTo(command, "--width",
                           "Width in pixels of the screen the page is for: one 320-pixel picture per "
                           "column, less a scroll bar (1920 is a full HD screen)");
    }
    std::string check() override { return screenWidth_.check(); }
    int run(CommandContext& context) override {
        auto& out = context.out;
        if (file_ != "-") {
            if (const std::string reason = unwritableReason(file_); !reason.empty()) {
                context.error("Unable to create the file on the desktop.\n" + shownPath(file_) + ": " +
                              reason);
                return kExitFailed;
            }
        }
        DeviceInventory inventory;
        scanInto(inventory, context);
        const auto records = inventory.snapshot();
        const int cellsPerRow =
            devicesPageCellsPerRow(screenWidth_.value() - kBorderAndScrollBarPixels, records.size());
        const auto text = devicesPageText(records, cellsPerRow, context.session.profile().httpPort);

        if (file_ == "-") {
            out << text << std::flush;
            return out ? kExitDone : kExitFailed;
        }
        const auto path = shownPath(file_);
        if (!writeDevicesPage(file_, text)) {
            context.error("Unable to create the file on the desktop.\n" + path);
            return kExitFailed;
        }
        if (!context.quiet)
            context.err << "Wrote " << path << " (" << records.size()
                        << (records.size() == 1 ? " device, " : " devices, ") << cellsPerRow
                        << " to a row).\n";
        return kExitDone;
    }

private:
    std::string file_ = "cameras.html";                   // "-" writes to standard output
    NumberOption screenWidth_{1, kMaxScreenWidth, 1920};  // pixels of the screen the page is for
};

}  // namespace

std::unique_ptr<Command> makePageCommand() {
    return std::make_unique<PageCommand>();
}

}  // namespace lm::cli
