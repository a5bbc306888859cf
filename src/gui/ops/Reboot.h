#pragma once

#include "core/ops/MaintenanceOperations.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Reboot ": asks for the admin password and restarts the device.
class Reboot : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { Yes = 1236 };

    Reboot(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
           std::string siteText, QWidget* parent = nullptr);
};

}  // namespace lm::gui
