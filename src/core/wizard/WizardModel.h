#pragma once

#include "core/link/FirmwareVersion.h"
#include "core/wizard/DeviceSettings.h"

namespace lm {

// What the wizard's pages read and write: the device's settings and the session facts they depend
// on. WizardSession::model() gives its own; tests bind their own variables.
struct WizardModel {
    DeviceSettings& settings;
    bool& connectionIsNetwork;
    const FirmwareVersion& firmware;
};

}  // namespace lm
