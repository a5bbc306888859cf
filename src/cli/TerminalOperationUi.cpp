#include "TerminalOperationUi.h"

#include "ops/MaintenanceOperations.h"
#include "ops/WorkerTask.h"

namespace lm::cli {

TerminalOperationUi::TerminalOperationUi(std::string address, std::string password, bool rebootAfterwards,
                                         std::ostream& out, std::ostream& err)
    : address_(std::move(address)),
      password_(std::move(password)),
      rebootAfterwards_(rebootAfterwards),
      out_(out),
      err_(err) {}

void TerminalOperationUi::setStatus(const std::string& text) {
    lastStatus_ = text;
    err_ << text << '\n' << std::flush;
}

int TerminalOperationUi::messageBox(const std::string& text, const std::string&, Icon, Buttons) {
    out_ << text;
    if (text.empty() || text.back() != '\n') out_ << '\n';
    out_.flush();
    return kOk;
}

std::string TerminalOperationUi::fieldText(int id) {
    if (id == WorkerTask::kAddressField) return address_;
    if (id == WorkerTask::kPasswordField) return password_;
    return {};
}

bool TerminalOperationUi::isChecked(int id) {
    return id == kRebootAfterwardsBox && rebootAfterwards_;
}

int TerminalOperationUi::exitStatus() const {
    if (finished_) return 0;
    if (lastStatus_ == "Please enter the correct password." ||
        lastStatus_ == "You must specify the administrator password.")
        return 2;
    return 1;
}

}  // namespace lm::cli
