#pragma once

#include <QString>
#include <array>
#include <utility>

#include "gui/Commands.h"

namespace lm::gui {

// What a command does, in a line: the tooltip and status tip of its buttons and menu entries.
inline QString commandTip(int id) {
    static constexpr std::array<std::pair<int, const char*>, 38> kTips = {{
        {kClose, "Save the view settings and quit"},
        {kViewDevice, "Open the selected device's web page in the browser"},
        {kConfigureDevice, "Open the selected device's administration page in the browser"},
        {kSetupWizard, "Set up a device step by step, over the network or a serial port"},
        {kTelnet, "Open a terminal with a telnet session to the selected device"},
        {kRefresh, "Scan the network for devices again"},
        {kAddDevice, "Add a device by its address"},
        {kViewAllDevices, "Show every listed device's picture on one web page"},
        {kProductionTest, "Check every listed device against the production rules"},
        {kActivityReport, "Measure the selected device's activity and rate it"},
        {kSystemLog, "Show the selected device's system log"},
        {kDebugLog, "Show the selected device's kernel messages"},
        {kUpgradeFirmware, "Send a firmware file to each selected device"},
        {kSetTime, "Set each selected device's clock from this computer's time"},
        {kEraseConfiguration, "Erase the selected device's configuration files"},
        {kReboot, "Restart each selected device"},
        {kAbout, "The program's version"},
        {kManual, "Read the manual"},
        {kExportList, "Save the listed devices as CSV or JSON"},
        {kBackupSettings, "Save the settings of every listed device in one file"},
        {kRestoreSettings, "Give each listed device the settings a backup file holds for it"},
        {kAssignAddresses, "Give each selected device a static address and name from a range or a plan file"},
        {kSiteReport, "Write a handover report of every listed device to one HTML file"},
        {kScanRange, "Look for devices in address ranges beyond this network"},
        {kNetworkInterface, "Choose the network interface the scan uses"},
        {kFindDevice, "Find a device in the list by ID, address or type"},
        {kPreviewBox, "Show each device's picture in the Details view"},
        {kThumbnails, "Large pictures with ID and address"},
        {kTiles, "Large pictures beside ID and address"},
        {kIcons, "Small pictures with ID and address"},
        {kList, "IDs only, in columns"},
        {kDetails, "One row per device with its address, type and version"},
        {kPreviewMenu, "Show each device's picture in the Details view"},
        {kGrid, "Draw lines between the rows of the Details view"},
        {kShowInGroups, "Group the devices under headings"},
        {kSortDescending, "Sort from last to first"},
        {kArrangeById, "Group the devices by this column"},
        {kSortById, "Sort the devices by this column"},
    }};
    if (id > kArrangeById && id <= kArrangeByVersion) id = kArrangeById;
    if (id > kSortById && id <= kSortByVersion) id = kSortById;
    for (const auto& [command, tip] : kTips)
        if (command == id) return QString::fromLatin1(tip);
    return {};
}

}  // namespace lm::gui
