#include "gui/ops/EraseConfig.h"

#include <QCheckBox>
#include <QPointer>

#include "gui/ops/GuiThread.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = EraseConfig::Id;

constexpr DialogRect kClient{0, 0, 269, 175};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, {},
     "Are you sure you want to erase the internal configuration files of this device?  This will restore "
     "the defaults, which among other things restores automatic IP selection mode (DHCP).",
     {7, 7, 255, 26}},
    {K::Text, {},
     "You may lose some important settings you made with the setup wizard and have to redo that process.  "
     "In the worst case, you may not be able to talk to it on an ethernet network until you set it up "
     "again with a serial cable.  ",
     {7, 37, 255, 34}},
    {K::Text, {}, "Are you sure you want to continue?", {7, 75, 255, 10}},
    {K::Label, {}, "Device address:", {7, 90, 62, 8}, kBuddyOfNext},
    {K::Address, F::Address, nullptr, {72, 88, 90, 13}},
    {K::Label, {}, "Admin Password:", {7, 106, 62, 8}, kBuddyOfNext},
    {K::Password, F::Password, nullptr, {72, 104, 90, 13}, kFocus},
    {K::CheckBox, C::RebootAfterwards, "Reboot device afterwards", {72, 121, 150, 10}, kChecked},
    {K::Text, F::StatusLine, "Enter the password...", {7, 136, 255, 14}, kPlainText},
    {K::Button, F::Cancel, "Cancel", {150, 154, 50, 14}, kDefaultButton},
    {K::Button, C::Proceed, "Proceed", {212, 154, 50, 14}, kStartsWork},
};
// clang-format on

}  // namespace

EraseConfig::EraseConfig(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
                         std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Erase Configuration Files"));
    build(kClient, kControls, [this] {
        // The box as it stands once the erase is done; a window closed by then reboots nothing.
        const auto rebootAfterwards =
            [box = QPointer(qobject_cast<QCheckBox*>(control(Id::RebootAfterwards))), state = state()] {
                bool checked = false;
                GuiThread::call([&] { checked = box && !state->closing && box->isChecked(); });
                return checked;
            };
        return [request = EraseRequest{login(), rebootAfterwards}](WorkerTask& task) {
            eraseWorker(task, request);
        };
    });
}

}  // namespace lm::gui
