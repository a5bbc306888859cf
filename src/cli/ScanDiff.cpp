#include "cli/ScanDiff.h"

#include "cli/ExitStatus.h"
#include "cli/TerminalText.h"

namespace lm::cli {

namespace {

// Device text comes from the network or a file: made safe, so each change stays one line; a value
// not known shows as "-".
std::string shown(const std::string& text) {
    return text.empty() ? "-" : terminalSafe(text);
}

std::string describe(const DeviceRecord& device) {
    return shown(device.id) + "  " + shown(device.address) + "  " + shown(device.deviceType) + "  " +
           shown(device.version);
}

std::string describe(const std::vector<FieldChange>& fields) {
    std::string text;
    for (const auto& field : fields)
        text +=
            (text.empty() ? "" : ", ") + field.name + " " + shown(field.before) + " -> " + shown(field.after);
    return text;
}

}  // namespace

int printScanChanges(const std::vector<DeviceChange>& changes, std::size_t devicesNow,
                     const std::string& previousPath, std::ostream& out) {
    std::size_t added = 0, gone = 0, changed = 0;
    for (const auto& change : changes) {
        switch (change.kind) {
            case DeviceChange::Kind::added:
                ++added;
                out << "added:   " << describe(change.device) << '\n';
                break;
            case DeviceChange::Kind::gone:
                ++gone;
                out << "gone:    " << describe(change.device) << '\n';
                break;
            case DeviceChange::Kind::changed:
                ++changed;
                out << "changed: " << shown(change.device.id) << "  " << describe(change.fields) << '\n';
                break;
        }
    }
    const std::string since = " since " + terminalSafe(previousPath);
    if (changes.empty()) {
        out << "No change" << since << " (" << devicesNow
            << (devicesNow == 1 ? " device).\n" : " devices).\n");
        return kExitDone;
    }
    out << added << " added, " << gone << " gone, " << changed << " changed" << since << ".\n";
    return kExitFindings;
}

}  // namespace lm::cli
