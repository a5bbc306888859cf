#pragma once

#include <string>
#include <vector>

#include "core/wizard/DeviceSettings.h"

namespace lm {

// What decides the files' forms besides the settings.
struct WriteForms {
    bool newFtpFormat = true;            // the upload file as keys rather than an FTP script
    bool configDependSupported = false;  // the device makes its PPP files itself
};

// One step of the file writing: the path under /var/tmp and its lines. A step that writes nothing
// (a PPP file the device makes itself) has `written` clear and no lines; `announced` says whether
// the page still shows "Writing PATH..." for it.
struct SettingsFile {
    std::string path;
    std::vector<std::string> lines;
    bool written = true;
    bool announced = true;
};

// Every file step in order, each file made from the settings; a file the last read found keeps its
// lines that no setting owns.
std::vector<SettingsFile> settingsFiles(const DeviceSettings& settings, const WriteForms& forms);

// The move commands into /etc/config, in the order of the session's kind (lines without their end).
std::vector<std::string> moveCommands(const DeviceSettings& settings, bool network);

}  // namespace lm
