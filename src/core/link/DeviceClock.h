#pragma once

#include <ctime>
#include <string>

#include "core/link/Outcome.h"
#include "core/link/SerialLink.h"
#include "core/link/TelnetLink.h"

namespace lm {

// Setting a device's clock from this computer's local time: the date command, then the hardware
// clock ("hwclock -w" behind a "# " prompt, "clock -S" behind "> ").

// "March 05 14:07:09  2026": full English month names whatever the user's locale, because the
// device's date parses nothing else. Empty when the time cannot be converted.
std::string clockText(const std::tm& localTime);
std::string localClockText();

// The line of a reply in which the device says its command failed ("date: invalid date ...",
// "sh: hwclock: not found", "Permission denied", "can't open"); empty when it said none of that.
std::string clockRefusal(const std::string& reply);

// Up to `attempts` settings over telnet, each after a resynchronisation (a pause, "\n" and the
// prompt) but the first. Ok when both commands ended at a prompt without a refusal; Refused at once
// when the device refused one (its line in deviceWords); NoAnswer when no attempt saw its prompts.
Outcome setClockOverTelnet(TelnetLink& telnet, const Timing& timing, int attempts, std::string& deviceWords);
// One setting on the serial console, as above.
Outcome setClockOverSerial(SerialLink& serial, std::string& deviceWords);

}  // namespace lm
