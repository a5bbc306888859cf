#pragma once

#include "gui/ops/OperationDialog.h"
#include "core/ops/SetTime.h"

namespace lm::gui {

// "Set Time": sets the device's clock from this computer's as soon as it opens; OK is enabled
// once the worker is done.
class FixTime : public OperationDialog {
    Q_OBJECT
public:
    static constexpr int kProgress = kSetTimeProgress;

    FixTime(Session& session, const QString& address, QWidget* parent = nullptr);
};

}  // namespace lm::gui
