#pragma once

#include "core/ops/MaintenanceOperations.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Erase Configuration Files": asks for the admin password, clears the device's stored
// configuration and, unless told otherwise, reboots it.
class EraseConfig : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { RebootAfterwards = 1234, Proceed = 1235 };

    EraseConfig(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
                std::string siteText, QWidget* parent = nullptr);
};

}  // namespace lm::gui
