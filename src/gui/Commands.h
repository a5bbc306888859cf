#pragma once

namespace lm::gui {

// The main window's commands, shared by its buttons, the list's pop-up menu and the window's
// handler; the numbers are the control ids that tests and settings refer to.
enum Command : int {
    kClose = 1,
    kConfigureDevice = 1002,
    kViewDevice = 1009,
    kAddDevice = 1043,
    kSetupWizard = 1052,
    kSystemLog = 1186,
    kUpgradeFirmware = 1194,
    kRefresh = 1230,
    kReboot = 1234,
    kViewAllDevices = 1237,
    kPreviewBox = 1317,
    kTelnet = 1318,
    kActivityReport = 1319,
    kDebugLog = 1320,
    kSetTime = 1321,
    kEraseConfiguration = 1322,
    kAbout = 1325,
    kExportList = 1326,
    kScanRange = 1330,
    kNetworkInterface = 1331,  // the list menu's submenu; its entries are named "interface:NAME"
    // Reached from the menu bar: the production test without Shift, the manual, the find bar.
    kProductionTest = 1340,
    kManual = 1341,
    kFindDevice = 1342,
    kSiteReport = 1343,
    // The file menu's settings of every listed device into one file, and back.
    kBackupSettings = 1350,
    kRestoreSettings = 1351,
    // The selected devices' static addresses and names from a range or a plan file.
    kAssignAddresses = 1352,
    // The list's view menu.
    kThumbnails = 2003,
    kTiles = 2004,
    kIcons = 2005,
    kPreviewMenu = 2006,
    kArrangeById = 2010,
    kArrangeByVersion = 2013,
    kShowInGroups = 2017,
    kGrid = 2020,
    // Sorting as a click on column 0..3 sorts, and its direction.
    kSortById = 2030,
    kSortByVersion = 2033,
    kSortDescending = 2034,
    kList = 59410,
    kDetails = 59411,
};

}  // namespace lm::gui
