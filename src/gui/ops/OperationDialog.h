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
#include "gui/app/DialogControls.h"

class QLabel;
class QPushButton;

namespace lm {
class Session;
}

namespace lm::gui {

class GuiPasswordPrompt;

// A message box owned by owner, answered by the button pressed; its text is never markup.
Answer showOwnedMessageBox(QWidget* owner, const QString& text, const QString& title, Question::Icon icon,
                           Choices buttons);

// The frame of an operation dialog with a start button: the status line, the hidden OK button the
// worker presses to end the dialog, the start button that runs the worker on a thread of its own,
// and the requests of that worker, carried to the GUI thread. Closing while the worker runs waits
// a while for it; a worker still running after that is let go and touches nothing of the dialog.
// The dialog is the channel its worker's requests drive, on the GUI thread.
class OperationDialog : public QDialog, public WorkerChannel {
    Q_OBJECT
public:
    // The controls the frame itself knows: every operation dialog's table uses these ids for them.
    enum class Frame { Ok = 1, Cancel = 2, StatusLine = 1018, Password = 1192, Address = 1195 };
    static constexpr int kOk = static_cast<int>(Frame::Ok);
    static constexpr int kCancel = static_cast<int>(Frame::Cancel);
    static constexpr int kStatusLine = static_cast<int>(Frame::StatusLine);
    static constexpr int kAddressField = static_cast<int>(Frame::Address);
    static constexpr int kPasswordField = static_cast<int>(Frame::Password);

    // What a worker thread runs.
    using Work = std::function<void(WorkerTask&)>;

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
    QWidget* control(ControlRef id) const { return control(id.value); }

    // Every way out (OK, Cancel, the close box) ends here.
    void done(int result) override;

    // The worker's requests, on the GUI thread.
    void status(const std::string& text) override;
    void progressRange(int low, int high) override;
    void progress(int position) override;
    void beep() override;
    Answer ask(const Question& question) override;
    // The final boxes: the status line says how the work ended, and Cancel has nothing to cancel.
    void showResult(const std::string& text, const std::string& title) override;
    void finish() override;
    void allowStart(bool allowed) override;
    void allowClose(bool allowed) override;

protected:
    // address is the device's dotted IPv4 address; scanInProgress may be null; siteText is shown
    // by the password prompt.
    OperationDialog(Session& session, const std::atomic<bool>* scanInProgress, QString address,
                    std::string siteText, QWidget* parent);

    // Creates the controls of table, in its order, and sizes the dialog to client. The Address
    // field shows the dialog's address; OK and Cancel end the dialog. The kStartsWork button
    // disables itself and runs on a new worker thread the work that prepare makes from the controls
    // as they stand; nothing when prepare makes none (the user declined).
    void build(DialogRect client, std::span<const DialogControl> table, std::function<Work()> prepare = {});
    // The device address and the password as typed.
    DeviceLogin login() const;
    // The worker's way to this dialog, for a question asked before it starts.
    WorkerChannel& operationUi() { return *ui_; }
    // A message box owned by the dialog, answered by the button pressed.
    Answer showMessageBox(const QString& text, const QString& title, Question::Icon icon, Choices buttons);
    // For a dialog that works as soon as it opens: work starts on a worker thread when the dialog
    // is first shown, unless the device link is still busy (then the status line says so and OK is
    // enabled). Closing does not wait for this worker. The worker enables button (none when 0)
    // when it is done.
    void startWhenShown(Work work, int button = 0);
    // For a dialog whose status shows in another control than the status line: where the frame
    // says why no worker runs.
    void useStatusLine(int id) { statusLine_ = id; }
    // What the status line says once the work has succeeded; empty keeps the last status.
    void setDoneStatus(QString text) { doneStatus_ = std::move(text); }

    void showEvent(QShowEvent* event) override;

private:
    void start(int startButton, const Work& work);
    void finishFromWorker();
    void workEnded(const QString& status);
    void waitForWorker();

    Session& session_;
    const std::atomic<bool>* scanInProgress_;
    QString address_;
    std::shared_ptr<OperationState> state_;
    std::shared_ptr<WorkerChannel> ui_;
    std::shared_ptr<GuiPasswordPrompt> prompt_;
    MessageBoxHandler messageBoxHandler_;
    QPushButton* okButton_ = nullptr;
    Work startWork_;  // for dialogs that start when shown
    int startWorkButton_ = 0;
    int startButton_ = 0;  // the button the running worker enables again
    bool startsAtOnce_ = false;
    int statusLine_ = kStatusLine;
    QString doneStatus_;
    bool finishing_ = false;  // the worker pressed OK and waits for that to return
    bool waiting_ = false;
};

}  // namespace lm::gui
