#pragma once

#include "core/link/Session.h"
#include "core/wizard/DeviceSettings.h"
#include "core/wizard/WizardModel.h"

namespace lm {

// The Setup Wizard's side of a Session: the device's settings as the pages and workers read and
// write them, and what the writer learnt of the device's firmware. Whoever runs the wizard holds
// one for the whole run of the program, so a second wizard run starts from the values of the first.
class WizardSession {
public:
    explicit WizardSession(Session& session) : session_(session) {}
    WizardSession(const WizardSession&) = delete;
    WizardSession& operator=(const WizardSession&) = delete;

    Session& session() { return session_; }
    const Session& session() const { return session_; }

    DeviceSettings& settings() { return settings_; }
    const DeviceSettings& settings() const { return settings_; }
    // The settings with the session facts the wizard's pages read and write.
    WizardModel model() { return {settings_, session_.connectionIsNetwork(), session_.firmware()}; }

    // The device makes its PPP files and saves with its config tool.
    bool configDependSupported() const { return configDependSupported_; }
    void setConfigDependSupported(bool supported) { configDependSupported_ = supported; }
    // Files are typed in through cat rather than the editor.
    bool catWriteSupported() const { return catWriteSupported_; }
    void setCatWriteSupported(bool supported) { catWriteSupported_ = supported; }
    // The upload file in its key form ("hostname=") rather than as an FTP command script.
    bool newFtpFormat() const { return newFtpFormat_; }
    void setNewFtpFormat(bool keyForm) { newFtpFormat_ = keyForm; }

private:
    Session& session_;
    DeviceSettings settings_;
    bool configDependSupported_ = false;
    bool catWriteSupported_ = false;
    bool newFtpFormat_ = true;
};

}  // namespace lm
