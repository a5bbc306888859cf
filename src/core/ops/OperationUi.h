#pragma once

#include <string>

namespace lm {

// How a worker reaches its window: every request is synchronous and is skipped (returning a
// neutral answer) once the window is closing. The desktop program carries each request to the GUI
// thread and waits; the command line program prints; tests record.
class OperationUi {
public:
    enum class Icon { Information, Warning, Error, Question };
    enum class Buttons { Ok, OkCancel, YesNo };
    // Answers of messageBox; the numbers are kept so that answers read the same in every front end.
    static constexpr int kOk = 1, kCancel = 2, kYes = 6, kNo = 7;

    virtual ~OperationUi() = default;

    virtual void setStatus(const std::string& text) = 0;
    virtual void setProgressRange(int low, int high) = 0;
    virtual void setProgress(int position) = 0;
    virtual void enableControl(int id, bool enabled) = 0;
    virtual int messageBox(const std::string& text, const std::string& title, Icon icon, Buttons buttons) = 0;
    // The final message of an operation that succeeded: a window shows it as any other box; the
    // command line prints it as the result, apart from the errors and notes on the way.
    virtual void showResult(const std::string& text, const std::string& title) {
        messageBox(text, title, Icon::Information, Buttons::Ok);
    }
    virtual void beep() = 0;
    // Enables the window's start button again (OK, for a window that starts when opened).
    virtual void enableStart() {}
    // Presses the dialog's hidden OK button, which ends it.
    virtual void finish() = 0;
    // The text of a field or the state of a check box, read at the moment of the call.
    virtual std::string fieldText(int id) = 0;
    // Puts text into a field (a log window): shown as it is, never interpreted.
    virtual void setFieldText(int id, const std::string& text) = 0;
    virtual bool isChecked(int id) = 0;
    virtual void setChecked(int id, bool checked) = 0;
};

}  // namespace lm
