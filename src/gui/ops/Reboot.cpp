#include "gui/ops/Reboot.h"

namespace lm::gui {

namespace {

using K = ControlKind;
using F = OperationDialog::Frame;
using C = Reboot::Id;

constexpr DialogRect kClient{0, 0, 203, 124};
// clang-format off
constexpr DialogControl kControls[] = {
    {K::Text, {}, "Are you sure you want to reboot this device?", {7, 7, 189, 10}},
    {K::Label, {}, "Device address:", {7, 24, 62, 8}, kBuddyOfNext},
    {K::Address, F::Address, nullptr, {72, 22, 90, 13}},
    {K::Label, {}, "Admin Password:", {7, 41, 62, 8}, kBuddyOfNext},
    {K::Password, F::Password, nullptr, {72, 39, 90, 13}, kFocus},
    {K::Text, F::StatusLine, "Enter password...", {7, 60, 189, 30}, kPlainText},
    {K::Button, C::Yes, "Yes", {45, 102, 50, 14}, kStartsWork},
    {K::Button, F::Cancel, "Cancel", {108, 102, 50, 14}, kDefaultButton},
};
// clang-format on

}  // namespace

Reboot::Reboot(Session& session, const std::atomic<bool>* scanInProgress, const QString& address,
               std::string siteText, QWidget* parent)
    : OperationDialog(session, scanInProgress, address, std::move(siteText), parent) {
    setWindowTitle(QStringLiteral("Reboot "));
    build(kClient, kControls, [this] {
        return [request = RebootRequest{login()}](WorkerTask& task) { rebootWorker(task, request); };
    });
}

}  // namespace lm::gui
