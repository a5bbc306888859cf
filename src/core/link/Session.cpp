#include "link/Session.h"

namespace lm {

Session::Session(NetworkProfile profile, Timing timing, SerialPortMap serialPorts)
    : profile_(std::move(profile)),
      timing_(timing),
      telnet(timing_, profile_.telnetPort),
      serial(timing_, std::move(serialPorts)) {}

}  // namespace lm
