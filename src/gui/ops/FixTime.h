#pragma once

#include "core/ops/SetTime.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// "Set Time": sets the device's clock from this computer's as soon as it opens; once the worker is
// done OK is enabled, Cancel is not, and the texts say the update has ended and how.
class FixTime : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { Progress = 1226 };
    static constexpr const char* kIntro =
        "The server's internal time chip will be set from the time on this computer.  "
        "Update is in progress, please wait...";
    static constexpr const char* kEndedIntro =
        "The server's internal time chip was to be set from the time on this computer.  "
        "The update has ended.";
    static constexpr const char* kFailed = "Error updating time!";

    FixTime(Session& session, const QString& address, QWidget* parent = nullptr);

    void allowClose(bool allowed) override;

private:
    QLabel* intro_ = nullptr;
};

}  // namespace lm::gui
