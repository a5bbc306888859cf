#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "core/discovery/DeviceRecord.h"
#include "core/link/Session.h"
#include "core/platform/NetworkProfile.h"
#include "core/platform/Timing.h"

namespace lm {

// The list's columns, in order.
enum class ProductionColumn {
    Mac,
    Duration,
    Rate,
    Exposure,
    Pid,
    Devices,
    Temperature,
    Errors,
    Versions,
    Firmware,
    Watchdog,
    Imaging,
};
constexpr std::size_t kProductionColumns = static_cast<std::size_t>(ProductionColumn::Imaging) + 1;
inline constexpr std::array<const char*, kProductionColumns> kProductionHeaders = {
    "MAC",         "Duration", "Rate",     "Exposure", "PID",      "Devices",
    "Temperature", "Errors",   "Versions", "Firmware", "Watchdog", "Imaging"};
// Row 0 of the list: a caption only; the rules in ProductionTest.cpp decide.
inline constexpr std::array<const char*, kProductionColumns> kProductionCriteria = {
    "(OK=Passed) ", "(OK>8hrs)", "(OK>.4)", "(OK<3000)", "(OK<40)",   "(OK=3)",
    "(OK<127F)",    "(OK<2)",    "(match)", "(Version)", "(Version)", "(Version)"};
// Width of each column for a list whose client area is clientWidth pixels wide.
std::array<int, kProductionColumns> productionColumnWidths(int clientWidth);

enum class ProductionVerdict {
    Untested,     // not reached (the window closed first)
    Passed,       // "OK"
    PassedShort,  // "(T)": passed, but the device has not run for more than 8 hours
    Failed,       // "No", also when the device could not be logged in to
};
// "OK", "(T)", "No"; empty for Untested.
const char* verdictText(ProductionVerdict verdict);

// One device's row: column 0 reads "??  " + its name until the verdict replaces it ("OK  " + id, ...).
struct ProductionRow {
    std::string id;       // empty when the device never told it
    std::string address;  // as the device list has it
    std::array<std::string, kProductionColumns> cells;
    ProductionVerdict verdict = ProductionVerdict::Untested;
    bool loggedIn = false;  // whether the device could be tested at all

    std::string& cell(ProductionColumn column) { return cells[static_cast<std::size_t>(column)]; }
    const std::string& cell(ProductionColumn column) const { return cells[static_cast<std::size_t>(column)]; }
    // How the list names the device: its ID, else its address.
    const std::string& name() const { return id.empty() ? address : id; }
};

// How the production test reaches its window. The test never makes two calls at once, but with
// more than one job the calls come from several threads; an implementation carries them to its
// own thread. Every call is skipped by the test once closing() answers true.
class ProductionUi {
public:
    virtual ~ProductionUi() = default;
    // The status line ("Checking device 3: running ps...", "Report Complete.").
    virtual void setStatus(const std::string& text) = 0;
    // Column `column` of the row of device `device` (0-based in id order; the list's row device + 1).
    virtual void setCell(std::size_t device, ProductionColumn column, const std::string& text) = 0;
    // Whether the window is closing: each job then logs out of its device and the test ends. Asked
    // often and from any job: it should read a flag, not wait for the window's thread.
    virtual bool closing() = 0;
};

struct ProductionSettings {
    NetworkProfile profile;
    Timing timing;
    std::string password = Session::kDefaultPassword;  // the admin password each login starts with
    int jobs = 1;                                      // devices tested at once, each with its own Session
};

// The devices in test order (id ascending, byte-wise) and their rows as they start.
std::vector<DeviceRecord> productionOrder(std::vector<DeviceRecord> devices);
std::vector<ProductionRow> productionRows(const std::vector<DeviceRecord>& ordered);

// Tests every device of `ordered` (see productionOrder) and returns the rows, in the same order.
// Each cell is also sent to ui as soon as it is known. Changes nothing on the devices.
std::vector<ProductionRow> productionWorker(const std::vector<DeviceRecord>& ordered, ProductionUi& ui,
                                            const ProductionSettings& settings);

}  // namespace lm
