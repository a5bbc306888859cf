#include "core/platform/Timing.h"

#include <thread>

namespace lm {

Milliseconds Timing::scaled(Milliseconds product) const {
    return Milliseconds(static_cast<long long>(static_cast<double>(product.count()) * pauseScale + 0.5));
}

void Timing::pause(Milliseconds product) const {
    const auto ms = scaled(product);
    if (ms.count() > 0) std::this_thread::sleep_for(ms);
}

Timing Timing::fast() {
    Timing t;
    t.tick = Milliseconds(5);
    t.serialByteWait = Milliseconds(30);
    t.pauseScale = 0.01;
    t.waitBound = Milliseconds(3000);
    return t;
}

int Deadline::remainingMs() const {
    const auto left = std::chrono::ceil<Milliseconds>(end_ - MonoClock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace lm
