#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>
#include <type_traits>

namespace lm::gui {

// Runs a function on the GUI thread and waits for its result: directly when already there,
// otherwise as a queued call the calling thread blocks on. The function runs with the application
// object as its context, so it must itself check that what it touches still exists.
class GuiThread {
public:
    template <typename F>
    static std::invoke_result_t<F> call(F function) {
        using Result = std::invoke_result_t<F>;
        QCoreApplication* app = QCoreApplication::instance();
        if (app == nullptr || QThread::currentThread() == app->thread()) return function();
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(app, std::move(function), Qt::BlockingQueuedConnection);
        } else {
            // A call dropped unrun (the application going away) leaves the neutral value.
            Result result{};
            QMetaObject::invokeMethod(app, std::move(function), Qt::BlockingQueuedConnection, &result);
            return result;
        }
    }
};

}  // namespace lm::gui
