#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "core/ops/OperationState.h"
#include "core/ops/WorkerChannel.h"
#include "core/ops/WorkerTask.h"

class QLabel;
class QPushButton;

namespace lm {
class Session;
}

namespace lm::gui {

class GuiPasswordPrompt;

// The frame of an operation dialog with a start button: the status line, the hidden OK button the
// worker presses to end the dialog, the start button that runs the worker on a thread of its own,
// and the requests of that worker, carried to the GUI thread. Closing while the worker runs waits
// a while for it; a worker still running after that is let go and touches nothing of the dialog.
// The dialog is the channel its worker's requests drive, on the GUI thread.
class OperationDialog : public QDialog, public WorkerChannel {
    Q_OBJECT
public:
    static constexpr int kOk = 1;
    static constexpr int kCancel = 2;
    static constexpr int kStatusLine = WorkerTask::kStatusLine;
    static constexpr int kAddressField = WorkerTask::kAddressField;
    static constexpr int kPasswordField = WorkerTask::kPasswordField;

    // Shows a message box owned by the dialog and returns the button pressed as its answer.
    using MessageBoxHandler = std::function<Answer(QWidget* owner, const QString& text, const QString& title,
                                                   Question::Icon icon, Choices buttons)>;

    ~OperationDialog() override;

    const std::shared_ptr<OperationState>& state() const { return state_; }
    const QString& deviceAddress() const { return address_; }

    // Replaces the dialog's message boxes (tests answer them this way); empty restores them.
    void setMessageBoxHandler(MessageBoxHandler handler) { messageBoxHandler_ = std::move(handler); }

    // A control by its id; null when the dialog has none.
    QWidget* control(int id) const;

    // Every way out (OK, Cancel, the close box) ends here.
    void done(int result) override;

    // The worker's requests, on the GUI thread.
    void status(const std::string& text) override;
    void progressRange(int low, int high) override;
    void progress(int position) override;
    void beep() override;
    Answer ask(const Question& question) override;
    void finish() override;
    void allowStart(bool allowed) override;
    void allowClose(bool allowed) override;
    std::string fieldText(int id) override;
    void setFieldText(int id, const std::string& text) override;
    bool isChecked(int id) override;
    void setChecked(int id, bool checked) override;

protected:
    // address is the device's dotted IPv4 address; scanInProgress may be null; siteText is shown
    // by the password prompt.
    OperationDialog(Session& session, const std::atomic<bool>* scanInProgress, QString address,
                    std::string siteText, QWidget* parent);

    // The controls every such dialog has, placed in dialog units.
    QLabel* addText(const QString& text, const QRect& place);
    QLabel* addStatusLine(const QString& text, const QRect& place);
    // The device address field (showing the opening address) and the masked password field.
    void addAddressAndPassword(int labelLeft, int fieldLeft, int addressTop, int passwordTop);
    QPushButton* addButton(int id, const QString& text, const QRect& place);
    // The start button: disables itself and runs work on a new worker thread; when confirm is
    // given, only once it has agreed.
    QPushButton* addStartButton(int id, const QString& text, const QRect& place,
                                std::function<Outcome(WorkerTask&)> work, std::function<bool()> confirm = {});
    // The hidden OK button (unless the dialog shows one of its own) and the dialog size, once the
    // controls are in place.
    void finishLayout(int width, int height);
    // A message box owned by the dialog, answered by the button pressed.
    Answer showMessageBox(const QString& text, const QString& title, Question::Icon icon, Choices buttons);
    // For a dialog that works as soon as it opens: work starts on a worker thread when the dialog
    // is first shown, unless the device link is still busy (then the status line says so and OK is
    // enabled). Closing does not wait for this worker.
    void startWhenShown(std::function<Outcome(WorkerTask&)> work);
    // For a dialog whose status shows in another control than the status line: where the frame
    // says why no worker runs.
    void useStatusLine(int id) { statusLine_ = id; }

    void showEvent(QShowEvent* event) override;

private:
    void start(int startButton, const std::function<Outcome(WorkerTask&)>& work);
    void finishFromWorker();
    void waitForWorker();

    Session& session_;
    const std::atomic<bool>* scanInProgress_;
    QString address_;
    std::shared_ptr<OperationState> state_;
    std::shared_ptr<WorkerChannel> ui_;
    std::shared_ptr<GuiPasswordPrompt> prompt_;
    MessageBoxHandler messageBoxHandler_;
    QPushButton* okButton_ = nullptr;
    std::function<Outcome(WorkerTask&)> startWork_;  // for dialogs that start when shown
    bool startsAtOnce_ = false;
    int statusLine_ = kStatusLine;
    bool finishing_ = false;  // the worker pressed OK and waits for that to return
    bool waiting_ = false;
    int startButton_ = 0;  // the start button of the running worker; 0 for none
};

}  // namespace lm::gui
