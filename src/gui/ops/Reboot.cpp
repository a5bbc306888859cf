#include "gui/ops/Reboot.h"

namespace lm::gui {

namespace {

using K = LayoutControl::Kind;
const DialogLayout kLayout{
    203,
    124,
    {
        {K::Text, 0, "Are you sure you want to reboot this device?", 7, 7, 189, 10},
        {K::Label, 0, "Device address:", 7, 24, 62, 8},
        {K::Address, 0, nullptr, 72, 22, 90, 13},
        {K::Label, 0, "Admin Password:", 7, 41, 62, 8},
        {K::Password, 0, nullptr, 72, 39, 90, 13, LayoutControl::Focus},
        {K::StatusLine, 0, "Enter password...", 7, 60, 189, 30},
        {K::Start, id(Reboot::Id::Yes), "Yes", 45, 102, 50, 14},
        {K::Button, OperationDialog::kCancel, "Cancel", 108, 102, 50, 14, LayoutControl::Default},
    }};

}  // namespace

Reboot::Reboot(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
               std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Reboot "));
    build(kLayout, [this] {
        return [request = RebootRequest{login()}](WorkerTask& task) { rebootWorker(task, request); };
    });
}

}  // namespace lm::gui
