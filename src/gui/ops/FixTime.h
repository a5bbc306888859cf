#pragma once

#include "core/ops/SetTime.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Set Time": sets the device's clock from this computer's as soon as it opens; OK is enabled
// once the worker is done.
class FixTime : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { Progress = 1226 };

    FixTime(Session& session, const QString& address, QWidget* parent = nullptr);
};

}  // namespace lm::gui
