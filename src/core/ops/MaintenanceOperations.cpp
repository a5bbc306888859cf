#include "core/ops/MaintenanceOperations.h"

#include "core/link/DeviceSession.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

// The line of text that holds what, without its line end.
std::string lineHolding(const std::string& text, const char* what) {
    const auto at = text.find(what);
    if (at == std::string::npos) return {};
    const auto start = text.rfind('\n', at);
    const auto begin = start == std::string::npos ? 0 : start + 1;
    const auto end = text.find_first_of("\r\n", at);
    return text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
}

// Sends "reboot", gives the device its time to go down, then looks at what it said meanwhile: Ok
// unless the send failed (NoAnswer) or the device refused (Refused, its words in deviceWords).
Outcome sendReboot(Session& session, Milliseconds wait, std::string& deviceWords) {
    DeviceSession device(session);
    if (!device.reboot()) return Outcome::NoAnswer;
    session.timing().pause(wait);
    std::string said;
    for (std::string line; said.size() < 4096 && !(line = device.readLine(0)).empty();)
        said += line;
    if (!contains(said, "Permission denied")) return Outcome::Ok;
    deviceWords = lineHolding(said, "Permission denied");
    return Outcome::Refused;
}

}  // namespace

std::string refusalIn(const std::string& output) {
    for (const char* refusal :
         {"Permission denied", "not found", "No such file", "No space left", "Read-only"})
        if (contains(output, refusal)) return lineHolding(output, refusal);
    return {};
}

Outcome eraseConfigSequence(DeviceSession& device, std::string* deviceWords) {
    std::string ignored;
    std::string& words = deviceWords ? *deviceWords : ignored;
    words.clear();
    if (!device.sendLine("config clear")) return Outcome::NoAnswer;
    device.expect(40, {"denied", "cleared"});
    if (const auto cleared = device.seenText().find("cleared"); cleared != std::string::npos) {
        // The tool may still be writing the flash: a hang-up before its prompt would cut it short.
        const std::string after = device.seenText().substr(cleared);
        const bool prompt =
            contains(after, "> ") || contains(after, "# ") || device.expect(20, {"> ", "# "}) != 0;
        return prompt ? Outcome::Ok : Outcome::NoAnswer;
    }
    // Refused or unknown: wipe the configuration partition of the flash instead.
    device.drain();
    device.expect(5, {"> "});
    if (!device.sendLine("/bin/flashw -b 0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0 /dev/rom5"))
        return Outcome::NoAnswer;
    const bool prompt = device.expect(20, {"> ", "# "}) != 0;
    words = refusalIn(device.seenText());
    if (!words.empty()) return Outcome::Refused;
    return prompt ? Outcome::Ok : Outcome::NoAnswer;
}

OperationResult rebootWorker(WorkerTask& task, const RebootRequest& request) {
    if (const Outcome opened = task.open(request); opened != Outcome::Ok) return {opened, {}};
    task.status("Rebooting...");
    std::string words;
    switch (sendReboot(task.session(), Milliseconds(2000), words)) {
        case Outcome::Ok:
            return {task.succeed("The device will take\na few seconds to reboot.", "Reboot Camera"), {}};
        case Outcome::Refused:
            return {task.fail("Reboot refused by the device: " + words, Outcome::Refused), words};
        default:
            return {task.fail("This device does not respond!", Outcome::NoAnswer), {}};
    }
}

OperationResult eraseWorker(WorkerTask& task, const EraseRequest& request) {
    if (const Outcome opened = task.open(request); opened != Outcome::Ok) return {opened, {}};
    DeviceSession device(task.session());
    task.status("Erasing config files...");
    std::string words;
    switch (eraseConfigSequence(device, &words)) {
        case Outcome::Ok:
            break;
        case Outcome::Refused:
            return {task.fail("Erase refused by the device: " + words, Outcome::Refused), words};
        default:
            return {task.fail("The device did not confirm the erase.", Outcome::NoAnswer), {}};
    }
    const bool reboot = request.rebootAfterwards && request.rebootAfterwards();
    if (reboot) {
        task.status("Rebooting...");
        if (const Outcome sent = sendReboot(task.session(), Milliseconds(1000), words); sent != Outcome::Ok)
            return {task.fail(sent == Outcome::Refused ? "Erased, but the reboot was refused: " + words
                                                       : "Erased, but the device did not take the reboot.",
                              sent),
                    words};
    }
    return {
        task.succeed(
            reboot ? "You have erased the config files,\nbut the device will take\na few seconds to reboot."
                   : "You have erased the config files.\n",
            "Erase Config"),
        {}};
}

}  // namespace lm
