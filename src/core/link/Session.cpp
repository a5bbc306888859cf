#include "link/Session.h"

namespace lm {

Session::Session(NetworkProfile profile, Timing timing) : profile_(std::move(profile)), timing_(timing) {}

}  // namespace lm
