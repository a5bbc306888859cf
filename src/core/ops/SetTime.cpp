#include "core/ops/SetTime.h"

#include "core/link/DeviceSession.h"

namespace lm {

namespace {

void tellError(WorkerTask& task) {
    if (auto* ui = task.ui())
        ui->ask({"Error updating time!", "Telnet Error", Question::Icon::Information, Choices::Ok});
}

Outcome setTime(WorkerTask& task, const SetTimeRequest& request, std::string& words) {
    if (task.closing()) return Outcome::Cancelled;
    if (request.password) task.session().setPassword(*request.password);
    task.status("Connecting via telnet...");
    if (auto* ui = task.ui()) {
        ui->progressRange(0, 2);
        ui->progress(1);
    }
    const Outcome opened = task.openAsOpened(std::nullopt);
    if (opened == Outcome::Failed) return opened;  // busy: already said
    if (opened != Outcome::Ok) {
        tellError(task);
        return opened;
    }
    if (task.closing()) return Outcome::Cancelled;
    task.status("Connected, setting time...");
    if (auto* ui = task.ui()) ui->progress(2);
    DeviceSession device(task.session());
    const Outcome set = device.setClock(kSetTimeAttempts);
    words = device.deviceMessage();
    if (set == Outcome::Refused) task.status("The device refused to set its clock: " + words);
    if (set != Outcome::Ok) {
        tellError(task);
        return set;
    }
    task.status("Time is set.");
    if (auto* ui = task.ui()) ui->progress(3);
    return Outcome::Ok;
}

}  // namespace

OperationResult setTimeWorker(WorkerTask& task, const SetTimeRequest& request) {
    OperationResult result;
    result.outcome = setTime(task, request, result.deviceWords);
    if (task.holdsSession()) DeviceSession(task.session()).logout(false);
    if (auto* ui = task.ui()) ui->allowClose(true);
    return result;
}

}  // namespace lm
