#include "ops/MaintenanceOperations.h"

namespace lm {

namespace {

bool contains(const std::string& text, const char* what) {
    return text.find(what) != std::string::npos;
}

}  // namespace

void EraseConfigSequence(TelnetLink& telnet) {
    telnet.Send("config clear\n");
    telnet.Expect(40, {"denied", "cleared"});
    if (contains(telnet.transcript, "cleared")) return;
    // Refused or unknown: wipe the configuration partition of the flash instead.
    telnet.Drain();
    telnet.Expect(5, {"> "});
    telnet.Send("/bin/flashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5\n");
    telnet.Expect(20, {"> ", "# "});
}

void rebootWorker(WorkerTask& task) {
    if (!task.open()) return;
    Session& session = task.session();
    task.status("Rebooting...");
    session.telnet.Send("reboot\n");
    session.timing().pause(Milliseconds(2000));
    task.succeed("The device will take\na few seconds to reboot.", "Reboot Camera");
}

void eraseWorker(WorkerTask& task) {
    if (!task.open()) return;
    Session& session = task.session();
    task.status("Erasing config files...");
    EraseConfigSequence(session.telnet);
    // Read now, so a change made while the erase ran counts.
    auto* ui = task.ui();
    const bool reboot = ui != nullptr && ui->isChecked(kRebootAfterwardsBox);
    if (reboot) {
        task.status("Rebooting...");
        session.telnet.Send("reboot\n");
        session.timing().pause(Milliseconds(1000));
    }
    task.succeed(reboot
                     ? "You have erased the config files,\nbut the device will take\na few seconds to reboot."
                     : "You have erased the config files.\n",
                 "Erase Config");
}

}  // namespace lm
