#pragma once

#include "core/ops/LogViewer.h"
#include "gui/ops/OperationDialog.h"

namespace lm::gui {

// One of a device's logs in a scrollable window, read as soon as the window opens.
class DebugFile : public OperationDialog {
    Q_OBJECT
public:
    enum class Id { Log = 1189 };

    DebugFile(Session& session, const QString& address, const LogSource& log, QWidget* parent = nullptr);
};

}  // namespace lm::gui
