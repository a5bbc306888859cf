#pragma once

#include "core/ops/MaintenanceOperations.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Erase Configuration Files": asks for the admin password, clears the device's stored
// configuration and, unless told otherwise, reboots it.
class EraseConfig : public OperationDialog {
    Q_OBJECT
public:
    static constexpr int kRebootAfterwards = 1234;
    static constexpr int kProceed = 1235;

    EraseConfig(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
                std::string siteText, QWidget* parent = nullptr);
};

}  // namespace lm::gui
