#pragma once

#include <string>

namespace lm {

// How a question is answered, and which answers it offers.
enum class Answer { Ok, Cancel, Yes, No };
enum class Choices { Ok, OkCancel, YesNo };

struct Question {
    enum class Icon { Information, Warning, Error, Question };
    std::string text;
    std::string title;
    Icon icon = Icon::Information;
    Choices choices = Choices::Ok;
};

// What a window answers when it cannot ask: the way out that does nothing.
constexpr Answer neutralAnswer(Choices choices) {
    switch (choices) {
        case Choices::Ok:
            return Answer::Ok;
        case Choices::OkCancel:
            return Answer::Cancel;
        case Choices::YesNo:
            return Answer::No;
    }
    return Answer::Cancel;
}

// The wizard sheet's Back, Next and Finish buttons, as flags.
enum class Moves { None = 0, Back = 1, Next = 2, Finish = 4 };

constexpr Moves operator|(Moves a, Moves b) {
    return static_cast<Moves>(static_cast<int>(a) | static_cast<int>(b));
}

// Whether moves holds any of these.
constexpr bool operator&(Moves moves, Moves these) {
    return (static_cast<int>(moves) & static_cast<int>(these)) != 0;
}

// The texts a wizard page shows or hides on a worker's word.
enum class Notice { CannotProceed, RomWarning };

// How a worker reaches its window. Every request is synchronous. The desktop program carries each
// to the GUI thread and waits, skipping it (with a neutral answer) once the window is closing; the
// command line program prints; tests record.
class WorkerChannel {
public:
    virtual ~WorkerChannel() = default;

    virtual void status(const std::string& text) = 0;
    virtual void progressRange(int low, int high) = 0;
    virtual void progress(int position) = 0;
    virtual void beep() = 0;
    virtual Answer ask(const Question& question) = 0;
    // The final message of an operation that succeeded: a window shows it as any other box; the
    // command line prints it as the result, apart from the errors and notes on the way.
    virtual void showResult(const std::string& text, const std::string& title) {
        ask({text, title, Question::Icon::Information, Choices::Ok});
    }
    // Ends an operation dialog, as its OK button does.
    virtual void finish() {}
    // The dialog's start button, enabled again after a failure.
    virtual void allowStart(bool) {}
    // The dialog's way to close: the activity report's Close while it measures, Set Time's OK.
    virtual void allowClose(bool) {}

    // What a wizard sheet shows; a front end without a sheet has nothing to do.
    virtual void allowMoves(Moves) {}
    virtual void moveNext() {}
    virtual void cancelRun() {}
    // The sheet's Cancel button: disabled while the device saves and reboots, so nothing cuts it short.
    virtual void allowCancel(bool) {}
    virtual void showNotice(Notice, bool) {}
};

}  // namespace lm
