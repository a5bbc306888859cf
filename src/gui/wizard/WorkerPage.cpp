#include "gui/wizard/WorkerPage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QThread>
#include <atomic>
#include <system_error>
#include <thread>

#include "core/link/Session.h"
#include "core/wizard/WizardPages.h"
#include "core/wizard/WizardSession.h"
#include "gui/ops/GuiPasswordPrompt.h"
#include "gui/ops/GuiThreadChannel.h"
#include "gui/wizard/SetupWizard.h"

namespace lm::gui {

namespace {
// Workers outlive a cancelled sheet; whoever owns their Session lets it go only when none runs.
std::atomic<int> gRunningWorkers{0};
}  // namespace

WorkerPage::WorkerPage(SetupWizard& wizard, int page, wizard::Field status, wizard::Field progress, Work work)
    : SetupWizardPage(wizard, page), status_(status), progress_(progress), work_(std::move(work)) {}

int WorkerPage::runningWorkers() {
    return gRunningWorkers.load();
}

void WorkerPage::initializePage() {
    SetupWizardPage::initializePage();
    firstStatus_ = QString::fromStdString(collect()[status_].text);
}

void WorkerPage::activate() {
    // A new visit starts a new run; the run before keeps its own state, aborted or ended.
    workerStarted_ = false;
    workerDone_ = false;
    SetupWizardPage::activate();
}

void WorkerPage::leave() {
    if (!run_) return;
    run_->closing = true;
}

bool WorkerPage::validatePage() {
    if (workerDone_) {
        workerDone_ = false;
        return SetupWizardPage::validatePage();
    }
    if (!workerStarted_ && (buttons() & Moves::Next)) start();
    return false;
}

void WorkerPage::start() {
    workerStarted_ = true;
    setButtons(Moves::None);
    wizard::PageView view = collect();
    for (const wizard::Field field : {status_, progress_})
        view[field].enabled = view[field].visible = true;
    // A run starts afresh: nothing of what the run before said or reached.
    view[status_].text = firstStatus_.toStdString();
    show(view);
    if (auto* bar = qobject_cast<QProgressBar*>(control(progress_))) bar->reset();

    run_ = std::make_shared<OperationState>();
    WizardSession& wizard = sheet().wizardSession();
    auto ui = std::make_shared<GuiThreadChannel>(this, run_);
    auto prompt = std::make_shared<GuiPasswordPrompt>(&sheet(), sheet().session().siteText(), run_);
    std::function<void()> body = [&wizard, run = run_, ui, prompt, work = work()] {
        WizardPage page(*ui, run);
        work(wizard, page, prompt.get());
    };
    run_->running = true;
    ++gRunningWorkers;
    try {
        std::thread([run = run_, body = std::move(body)]() mutable {
            try {
                body();
            } catch (...) {
                // A worker that failed unexpectedly must still let a later run have the device.
            }
            body = nullptr;  // what the run holds goes first
            run->running = false;
            --gRunningWorkers;
        }).detach();
    } catch (const std::system_error&) {
        run_->running = false;
        --gRunningWorkers;
        showStatus(QStringLiteral("The operation could not be started."));
        showControl(wizard::Field::CannotProceed, true);
        setButtons(Moves::Back);
    }
}

void WorkerPage::showStatus(const QString& text) {
    if (auto* status = qobject_cast<QLabel*>(control(status_))) status->setText(text);
}

void WorkerPage::status(const std::string& text) {
    showStatus(QString::fromStdString(text));
}

void WorkerPage::progressRange(int low, int high) {
    if (auto* bar = qobject_cast<QProgressBar*>(control(progress_))) bar->setRange(low, high);
}

void WorkerPage::progress(int position) {
    if (auto* bar = qobject_cast<QProgressBar*>(control(progress_))) bar->setValue(position);
}

void WorkerPage::showControl(wizard::Field field, bool shown) {
    if (QWidget* widget = control(field)) {
        widget->setVisible(shown);
        widget->setEnabled(shown);
    }
}

void WorkerPage::beep() {
    QApplication::beep();
}

void WorkerPage::cancelRun() {
    sheet().reject();
}

void WorkerPage::allowCancel(bool allowed) {
    sheet().enableCancel(allowed);
}

void WorkerPage::showNotice(Notice notice, bool shown) {
    showControl(notice == Notice::RomWarning ? wizard::Field::RomWarning : wizard::Field::CannotProceed,
                shown);
}

void WorkerPage::moveNext() {
    workerDone_ = true;
    if (sheet().currentPage() == this) sheet().next();
    workerDone_ = false;
}

void WorkerPage::waitForWorker(int polls, int pollMs) {
    for (int poll = 0; poll < polls && run_ && run_->running; ++poll) {
        QElapsedTimer waited;
        waited.start();
        while (run_->running && waited.elapsed() < pollMs) {
            // The worker may be blocked in a request to this thread: answer it (as dropped).
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            if (run_->running) QThread::msleep(5);
        }
    }
}

}  // namespace lm::gui
