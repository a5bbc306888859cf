#pragma once

#include <QPointer>
#include <QWidget>
#include <memory>
#include <string>

#include "core/link/PasswordPrompt.h"
#include "core/ops/OperationState.h"

namespace lm::gui {

// The desktop program's password prompt: the Login dialog, run modally on the GUI thread over
// the operation dialog while the asking worker waits. Once the operation dialog is closing or
// gone, it answers as if cancelled.
class GuiPasswordPrompt : public PasswordPrompt {
public:
    GuiPasswordPrompt(QWidget* parent, std::string siteText, std::shared_ptr<OperationState> state);

    bool askPassword(std::string& password) override;

private:
    QPointer<QWidget> parent_;  // read on the GUI thread only
    std::string siteText_;
    std::shared_ptr<OperationState> state_;
};

}  // namespace lm::gui
