#pragma once

// The older name of the loopback peer; new tests include support/LoopbackPeer.h.
#include "support/LoopbackPeer.h"

namespace lm::test {
using TelnetPeer = LoopbackPeer;
}  // namespace lm::test
