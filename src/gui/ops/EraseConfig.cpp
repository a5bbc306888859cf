#include "gui/ops/EraseConfig.h"

#include <QCheckBox>

namespace lm::gui {

namespace {

using K = LayoutControl::Kind;
const DialogLayout kLayout{
    269,
    175,
    {
        {K::Text, 0,
         "Are you sure you want to erase the internal configuration files of this device?  This will restore "
         "the defaults, which among other things restores automatic IP selection mode (DHCP).",
         7, 7, 255, 26},
        {K::Text, 0,
         "You may lose some important settings you made with the setup wizard and have to redo that process. "
         " "
         "In the worst case, you may not be able to talk to it on an ethernet network until you set it up "
         "again with a serial cable.  ",
         7, 37, 255, 34},
        {K::Text, 0, "Are you sure you want to continue?", 7, 75, 255, 10},
        {K::Label, 0, "Device address:", 7, 90, 62, 8},
        {K::Address, 0, nullptr, 72, 88, 90, 13},
        {K::Label, 0, "Admin Password:", 7, 106, 62, 8},
        {K::Password, 0, nullptr, 72, 104, 90, 13, LayoutControl::Focus},
        {K::Check, id(EraseConfig::Id::RebootAfterwards), "Reboot device afterwards", 72, 121, 150, 10,
         LayoutControl::Checked},
        {K::StatusLine, 0, "Enter the password...", 7, 136, 255, 14},
        {K::Button, OperationDialog::kCancel, "Cancel", 150, 154, 50, 14, LayoutControl::Default},
        {K::Start, id(EraseConfig::Id::Proceed), "Proceed", 212, 154, 50, 14},
    }};

}  // namespace

EraseConfig::EraseConfig(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
                         std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Erase Configuration Files"));
    build(kLayout, [this] {
        const auto* reboot = qobject_cast<QCheckBox*>(control(id(Id::RebootAfterwards)));
        return [request = EraseRequest{login(), reboot->isChecked()}](WorkerTask& task) {
            eraseWorker(task, request);
        };
    });
}

}  // namespace lm::gui
