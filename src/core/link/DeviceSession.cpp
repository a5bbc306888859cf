#include "link/DeviceSession.h"

namespace lm {

namespace {

constexpr const char* kEscape = "\x1b";

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

bool DeviceSession::isPromptLine(const std::string& line) const {
    const auto at = line.find(s_.shellPrompt);
    return at != std::string::npos && at + s_.shellPrompt.size() == line.size();
}

void DeviceSession::adoptLoginPrompt() {
    const std::string& seen = network() ? s_.telnet.transcript : s_.serial.currentLine;
    if (contains(seen, "> "))
        s_.shellPrompt = "> ";
    else if (contains(seen, "# "))
        s_.shellPrompt = "# ";
    else
        s_.shellPrompt.clear();
}

bool DeviceSession::send(const std::string& text) {
    return network() ? s_.telnet.Send(text) : s_.serial.Write(text);
}

bool DeviceSession::keep(std::string line, std::size_t& total) {
    total += line.size();
    if (total > kMaxOutputBytes || s_.remoteLineBuffer.size() >= kMaxOutputLines) return false;
    s_.remoteLineBuffer.push_back(std::move(line));
    return true;
}

void DeviceSession::Logout(bool sendQuit) {
    if (network())
        s_.telnet.Logout(sendQuit);
    else
        s_.serial.Close();
}

void DeviceSession::Reboot() {
    send("reboot\n");
}

int DeviceSession::SaveConfig() {
    const std::string command = s_.configDependSupported ? "config save\n" : "killall -USR1 flatfsd\n";
    if (network()) {
        s_.telnet.Send(command);
        return s_.telnet.Expect(45, {"> ", "# "}) ? 0 : 1;
    }
    s_.serial.Write(command);
    return s_.serial.Expect(10, {"> ", "# "}) ? 0 : 1;
}

int DeviceSession::EnterNsh(bool& rootPrompt) {
    const int major = s_.firmwareMajor, minor = s_.firmwareMinor, patch = s_.firmwarePatch;
    if (!network()) {
        if (!(major == 1 && minor == 0) || patch >= 14) {
            rootPrompt = true;
            return 0;
        }
        if (patch < 10) {
            rootPrompt = false;
            return 0;
        }
        s_.serial.Write("/bin/nsh\n");
        rootPrompt = s_.serial.Expect(5, {"> ", "# "}) && contains(s_.serial.currentLine, "# ");
        return rootPrompt ? 0 : 1;
    }

    if (major == 1 && minor > 0) {
        rootPrompt = true;
        return 0;
    }
    if (major == 1 && minor == 0 && patch < 10) {
        rootPrompt = false;
        return 0;
    }
    auto& telnet = s_.telnet;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (attempt > 0) {
            s_.timing().pause(Milliseconds(1000));
            telnet.Drain();
            telnet.Send("\n");
            telnet.Expect(20, {"> ", "# "});
        }
        if (patch > 13) {
            rootPrompt = true;
            return 0;
        }
        telnet.Send("/bin/nsh\n");
        if (telnet.Expect(5, {"> ", "# "}) && contains(telnet.transcript, "# ")) {
            rootPrompt = true;
            return 0;
        }
    }
    rootPrompt = false;
    return 1;
}

int DeviceSession::ProbeConfigTool(bool& hasDepend) {
    hasDepend = false;
    if (!network()) {
        if (!s_.serial.Write("config\n")) return 0;
        if (!s_.serial.Expect(5, {"Permission denied", "depend="})) return 0;
        hasDepend = contains(s_.serial.currentLine, "depend=");
        s_.serial.Expect(5, {"> ", "# "});
        return 0;
    }
    auto& telnet = s_.telnet;
    telnet.Send("config\n");
    int found = telnet.Expect(5, {"Permission denied", "depend="});
    for (int retry = 0; !found && retry < 3; ++retry) {
        s_.timing().pause(Milliseconds(1000));
        telnet.Drain();
        telnet.Send("\n");
        telnet.Expect(20, {"> ", "# "});
        telnet.Send("config\n");
        found = telnet.Expect(5, {"Permission denied", "depend="});
    }
    if (!found) return 1;
    hasDepend = contains(telnet.transcript, "depend=");
    telnet.Expect(5, {"> ", "# "});
    return 0;
}

std::string DeviceSession::ReadPrompt() {
    if (!network()) {
        if (!s_.serial.Write("\n") || !s_.serial.ReadNonEmptyLine()) return {};
        const std::string& line = s_.serial.currentLine;
        if (contains(line, "> ")) return "> ";
        if (contains(line, "# ")) return "# ";
        return line.size() < 2 ? line : line.substr(line.size() - 2);
    }
    auto& telnet = s_.telnet;
    telnet.Drain();
    if (!telnet.Send("\n")) return {};
    std::string line;
    for (int read = 0; read < 2; ++read) {
        line = telnet.ReadFullLine(80);
        if (contains(line, "> ")) return "> ";
        if (contains(line, "# ")) return "# ";
    }
    return line;
}

int DeviceSession::RunCommand(const std::string& command) {
    if (s_.shellPrompt.empty()) s_.shellPrompt = ReadPrompt();
    s_.remoteLineBuffer.clear();
    std::size_t total = 0;

    if (!network()) {
        auto& serial = s_.serial;
        if (!serial.Write(command + "\n")) return 1;
        if (!serial.Expect(2, {command})) return 1;
        while (true) {
            if (!serial.ReadNonEmptyLine()) return 1;
            const std::string& line = serial.currentLine;
            if (isPromptLine(line)) return 0;
            if (contains(line, command) && contains(line, "Bad command")) return 2;
            if (!keep(line, total)) return 1;
        }
    }

    auto& telnet = s_.telnet;
    telnet.Drain();
    telnet.Send(command + "\n");
    while (true) {
        std::string line = telnet.ReadUntil(300, s_.shellPrompt);
        if (line.empty()) return 1;
        if (contains(line, command)) {
            if (contains(line, "Bad command")) return 2;
            continue;  // the echo of the command
        }
        if (isPromptLine(line)) return 0;
        if (!keep(std::move(line), total)) return 1;
    }
}

int DeviceSession::ReadRemoteFile(const std::string& path) {
    s_.remoteLineBuffer.clear();
    std::size_t total = 0;
    const std::string command = "cat " + path;

    if (!network()) {
        auto& serial = s_.serial;
        if (!serial.Write(command + "\n")) return 1;
        if (!serial.Expect(2, {path})) return 1;
        // Over the serial link, running out of lines is the end of the file.
        while (serial.ReadNonEmptyLine()) {
            const std::string& line = serial.currentLine;
            if (isPromptLine(line)) return 0;
            if (contains(line, path) && contains(line, "Invalid argument")) return 2;
            if (!keep(line, total)) return 1;
        }
        return 0;
    }

    auto& telnet = s_.telnet;
    telnet.Drain();
    telnet.Send(command + "\n");
    bool echoSeen = false;
    while (true) {
        std::string line = telnet.ReadUntil(300, s_.shellPrompt);
        if (line.empty()) return 1;
        if (!echoSeen && contains(line, command)) {
            echoSeen = true;
            continue;
        }
        if (isPromptLine(line)) return 0;
        if (contains(line, path) && contains(line, "Invalid argument")) return 2;
        if (!keep(std::move(line), total)) return 1;
    }
}

bool DeviceSession::writeAttemptOverNetwork(const std::string& path, const std::string& listingArgument,
                                            const std::string& expected) {
    auto& telnet = s_.telnet;
    const bool viaCat = s_.catWriteSupported;
    if (viaCat) {
        telnet.Send("/bin/cat > " + path + "\n");
        if (!telnet.Expect(20, {"/bin/cat"})) return false;
    } else {
        telnet.Send("vi " + path + "\n");
        if (!telnet.Expect(20, {"No such file"})) return false;
        telnet.Send("i");
        telnet.ReadLine(4);
        telnet.Drain();
    }
    for (const auto& line : s_.remoteLineBuffer) {
        telnet.Send(line + "\n");
        telnet.ReadLine(1);
        telnet.Drain();
    }
    if (viaCat) {
        telnet.Send("\x04");
    } else {
        telnet.Send(std::string(kEscape) + ":wq\n");
        if (!telnet.Expect(20, {path})) return false;
    }
    telnet.Expect(2, {"> ", "# "});
    telnet.Send("ls " + listingArgument + "\n");
    if (!telnet.Expect(20, {expected})) return false;
    telnet.Expect(2, {"> ", "# "});
    return true;
}

int DeviceSession::writeOverSerial(const std::string& path, const std::string& listingArgument,
                                   const std::string& expected) {
    auto& serial = s_.serial;
    const auto& timing = s_.timing();
    if (s_.catWriteSupported) {
        if (!serial.Write("/bin/cat > " + path + "\n")) return 1;
        timing.pause(Milliseconds(400));
        for (const auto& line : s_.remoteLineBuffer) {
            if (!serial.Write(line + "\n")) return 1;
            timing.pause(Milliseconds(200));
        }
        timing.pause(Milliseconds(400));
        serial.Write("\x04");
        if (!serial.Expect(5, {"# "})) return 1;
    } else {
        if (!serial.Write("vi " + path + "\n")) return 1;
        if (!serial.Expect(5, {"No such file"})) return 1;
        serial.Write("i");
        for (const auto& line : s_.remoteLineBuffer)
            serial.Write(line + "\n");
        serial.Write(std::string(kEscape) + ":wq\n");
        if (!serial.Expect(5, {path})) {
            serial.Write(std::string(kEscape) + ":q!\n");
            return 1;
        }
        if (contains(serial.currentLine, "write error")) {
            serial.Write(std::string(kEscape) + ":q!\n");
            if (!serial.Expect(5, {"> ", "# "})) return 1;
            if (s_.remoteLineBuffer.empty()) {
                // An empty file counts as written.
                serial.Expect(1, {"> ", "# "});
                return 0;
            }
        }
    }
    serial.Write("ls " + listingArgument + "\n");
    if (!serial.Expect(5, {expected})) return 1;
    serial.Expect(1, {"> ", "# "});
    return 0;
}

int DeviceSession::WriteRemoteFile(const std::string& path, const std::string& listingArgument,
                                   const std::string& expected) {
    if (!network()) return writeOverSerial(path, listingArgument, expected);
    auto& telnet = s_.telnet;
    for (int attempt = 0;; ++attempt) {
        if (writeAttemptOverNetwork(path, listingArgument, expected)) return 0;
        if (attempt == 3) return 1;
        // Leave the editor without saving, remove what was written, and start again.
        s_.timing().pause(Milliseconds(1000));
        telnet.Drain();
        telnet.Send(std::string(kEscape) + ":q!\n");
        telnet.Expect(20, {"> ", "# "});
        telnet.Send("rm " + path + "\n");
        telnet.Expect(20, {"> ", "# "});
        s_.timing().pause(Milliseconds(500));
        telnet.Drain();
    }
}

}  // namespace lm
