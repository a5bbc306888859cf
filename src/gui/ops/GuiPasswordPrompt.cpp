#include "gui/ops/GuiPasswordPrompt.h"

#include "gui/ops/GuiThread.h"
#include "gui/ops/Login.h"

namespace lm::gui {

GuiPasswordPrompt::GuiPasswordPrompt(QWidget* parent, std::string siteText,
                                     std::shared_ptr<OperationState> state)
    : parent_(parent), siteText_(std::move(siteText)), state_(std::move(state)) {}

bool GuiPasswordPrompt::askPassword(std::string& password) {
    return GuiThread::call([this, &password] {
        if (parent_.isNull() || state_->closing) return false;
        Login login(QString::fromStdString(password), QString::fromStdString(siteText_), parent_.data());
        if (login.exec() != QDialog::Accepted) return false;
        password = login.password().toStdString();
        return true;
    });
}

}  // namespace lm::gui
