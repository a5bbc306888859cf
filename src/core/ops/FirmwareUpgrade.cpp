#include "core/ops/FirmwareUpgrade.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>

#include "core/link/DeviceSession.h"
#include "core/link/ShellInput.h"
#include "core/link/TftpServer.h"
#include "core/ops/MaintenanceOperations.h"
#include "core/ops/UpgradeBatch.h"
#include "core/platform/EchoRequests.h"
#include "core/platform/TextMatch.h"

namespace lm {

namespace {

constexpr const char* kLateFailureTitle = "ROM Upgrade error";
constexpr const char* kEchoQuestionTitle = "Lumetra Tools";
constexpr const char* kEchoQuestion =
    "Lumetra Tools needs to allow incoming ICMP echo requests\n"
    "in order to perform a firmware upgrade, but they are\n"
    "currently blocked by your firewall.\n\n"
    "Select \"Yes\" to temporarily allow ICMP echo requests.\n";
constexpr const char* kEchoBlocked = "Firmware upgrade blocked by firewall settings.";
constexpr const char* kCompleted =
    "You have completed the ROM upgrade process,\n"
    "however the device will take about\n"
    "1 minute more to finish.  DO NOT TURN OFF\n"
    "ITS POWER for at least 1 minute!";
// The flash tool asks within about 20 s; a slow device gets 30 s more.
constexpr int kRequestPolls = 20'000;
constexpr int kLateRequestPolls = 30'000;
constexpr Milliseconds kLostConnectionPause{4000};
constexpr int kPingRestTicks = 20;
constexpr std::size_t kBlocksPerProgressStep = 32;
constexpr std::size_t kBlockSize = 512;

// The address a ping reply names: after "bytes from " up to the next ":"; empty without a ":".
std::string replyingAddress(const std::string& transcript) {
    static constexpr std::string_view kMarker = "bytes from ";
    const auto at = transcript.find("bytes from");
    if (at == std::string::npos || at + kMarker.size() > transcript.size()) return {};
    const auto begin = at + kMarker.size();
    const auto end = transcript.find(':', begin);
    return end == std::string::npos ? std::string() : transcript.substr(begin, end - begin);
}

// A device shell line from words that passed the input check.
std::optional<std::string> shellLine(const std::vector<std::string>& words) {
    std::string problem;
    std::string line = shellCommandLine(words, problem);
    if (!problem.empty()) return std::nullopt;
    return line;
}

// The device's own words after a failure text, on a line of their own; nothing when it gave none.
std::string deviceWords(const std::string& words) {
    return words.empty() ? std::string() : "\n" + words;
}

// The line of /etc/version that names the version, read past the command's echo, which names it
// too. On failure, version holds the device's words, if any.
Outcome readVersionLine(Session& session, std::string& version) {
    DeviceSession device(session);
    const Outcome read = device.readRemoteFile("/etc/version");
    version = read == Outcome::Ok ? std::string() : device.deviceMessage();
    if (read != Outcome::Ok) return read;
    for (const std::string& line : session.remoteLines()) {
        if (contains(line, "ersion")) {
            version = line;
            return Outcome::Ok;
        }
    }
    return Outcome::NoAnswer;
}

// Runs a command and judges the device's answer: Refused with its line when it refused or failed
// the command, NoAnswer without a prompt, Ok otherwise.
Outcome runJudged(Session& session, const std::string& line, std::string& words) {
    DeviceSession device(session);
    const Outcome ran = device.runCommand(line);
    words = device.deviceMessage();
    if (ran != Outcome::Ok) return ran;
    std::string output;
    for (const std::string& said : session.remoteLines())
        output += said;
    words = refusalIn(output);
    return words.empty() ? Outcome::Ok : Outcome::Refused;
}

// Asks whether incoming echo requests may be allowed when this PC blocks them, and allows them in
// allowance: the failure text and outcome when the device's ping cannot come through.
UpgradeBatch::EchoDecision allowEchoRequests(WorkerTask& task, std::optional<EchoAllowance>& allowance) {
    const std::string& path = task.session().profile().echoSettingPath;
    if (!echoRequestsBlocked(path)) return std::nullopt;
    auto* ui = task.ui();
    const Answer answer =
        ui == nullptr
            ? Answer::No
            : ui->ask({kEchoQuestion, kEchoQuestionTitle, Question::Icon::Question, Choices::YesNo});
    if (answer != Answer::Yes) return std::pair{std::string(kEchoBlocked), Outcome::Cancelled};
    allowance.emplace(path);
    if (!allowance->held()) {
        auto failure = std::pair{std::string(kEchoBlocked) + "\n" + allowance->problem(), Outcome::Failed};
        allowance.reset();
        return failure;
    }
    return std::nullopt;
}

// The worker, alone or as one device of a batch.
OperationResult upgradeSteps(WorkerTask& task, const UpgradeRequest& request, UpgradeBatch* batch) {
    Session& session = task.session();
    const std::string& romPath = request.romPath;
    const std::string& pcAddress = request.pcAddress;
    const Outcome opened = task.open(request, [&]() -> std::string {
        std::error_code error;
        if (!std::filesystem::is_regular_file(romPath, error) || !std::ifstream(romPath, std::ios::binary))
            return "Can't find the ROM file, please re-enter the path and name.";
        return pcAddressProblem(pcAddress, session.profile());
    });
    if (opened != Outcome::Ok) return {opened, {}};
    // This device's prompt ends the commands read below, not one seen on another device.
    DeviceSession device(session);
    device.adoptLoginPrompt();

    // A device of a batch is heard on the batch's port and served from a port of its own.
    TftpServer tftp(session.timing(), batch ? 0 : session.profile().tftpPort);
    const auto late = [&](const std::string& text, Outcome outcome, const std::string& words = {}) {
        tftp.close();
        return OperationResult{task.abandon(text, kLateFailureTitle, outcome), words};
    };
    const auto pingLine = shellLine({"ping", "-c", "1", pcAddress});
    const auto flashLine = shellLine({"/bin/netflash", "-r", "/dev/rom4", pcAddress, kUpgradeImageName});
    if (!pingLine || !flashLine)
        return late("This computer's address cannot go into a device command.", Outcome::Failed);

    // The device proves that it reaches this computer by pinging it, which this PC must answer.
    std::optional<EchoAllowance> allowance;
    const auto allowHere = [&task](std::optional<EchoAllowance>& into) {
        return allowEchoRequests(task, into);
    };
    const auto echo = batch ? batch->allowEcho(allowHere) : allowHere(allowance);
    if (echo) return late(echo->first, echo->second);
    task.status("Waiting for ping request...");
    const bool reached = device.sendLine(*pingLine) && device.expect(30, {"bytes from"}) != 0;
    allowance.reset();
    if (!reached) return late("The device was unable to reach this PC!", Outcome::NoAnswer);
    std::string replying = replyingAddress(device.seenText());
    // Output that comes in pieces may end just after the words that announce the address.
    if (replying.empty())
        replying = replyingAddress(device.seenText() + device.readUntil(kPingRestTicks, ":"));
    device.interrupt();  // ends the ping
    device.expect(20, {"> ", "# "});
    if (replying != pcAddress) return late("Unable to determine this PC's IP address.", Outcome::Failed);

    if (reportTftpError(tftp, tftp.open(pcAddress), task.ui()) ||
        (batch && !batch->openPort(pcAddress, task.ui())))
        return late("The device was unable to start TFTP.", Outcome::Failed);

    task.status(request.eraseConfig ? "Deleting configuration files..."
                                    : "Checking version for config file compatibility...");
    std::string version;
    const Outcome read = readVersionLine(session, version);
    if (read != Outcome::Ok) return late("Unable to read version." + deviceWords(version), read, version);
    // Firmware of this form cannot carry an old configuration over, whatever the user chose.
    if (contains(version, "uClinux/ColdFire Version") || request.eraseConfig) {
        std::string words;
        switch (eraseConfigSequence(device, &words)) {
            case Outcome::Ok:
                break;
            case Outcome::Refused:
                return late("Erase refused by the device: " + words, Outcome::Refused, words);
            default:
                return late("The device did not confirm the erase.", Outcome::NoAnswer);
        }
        if (request.saveNetwork) {
            task.status("Saving network settings...");
            for (const char* line :
                 {"tar -c /etc/config/ifcfg-eth0 /etc/config/network | gzip -c > /tmp/save.tgz",
                  "flashw -f /tmp/save.tgz /dev/flash/save"}) {
                if (const Outcome saved = runJudged(session, line, words); saved != Outcome::Ok)
                    return late("Saving the network settings failed." + deviceWords(words), saved, words);
            }
        }
    }

    task.status("Sending TFTP startup to " + task.deviceAddress());
    device.sendLine(*flashLine);
    task.status("Waiting for TFTP session to start (about 20 seconds)...");
    const auto waitForRequest = [&](int polls) {
        if (!batch) return tftp.waitForReadRequest(task.deviceAddress(), polls);
        TftpServer::ReadRequest heard;
        const int waited =
            batch->waitForReadRequest(pcAddress, parseIpv4(task.deviceAddress()).value_or(0), polls, heard);
        if (waited == TftpOk) tftp.answer(heard);
        return waited;
    };
    int code = waitForRequest(kRequestPolls);
    if (code == TftpTimeout) {
        task.status("TFTP start timeout, waiting 30 more seconds...");
        code = waitForRequest(kLateRequestPolls);
    }
    if (code != TftpOk) {
        reportTftpError(tftp, code, task.ui());
        return late("Unable to receive TFTP request from the device.", Outcome::NoAnswer);
    }
    // The flash tool goes on by itself; the shell has nothing more to say.
    device.logout(false);
    if (tftp.requestedFile() != kUpgradeImageName)
        return late("Illegal TFTP request received.", Outcome::Failed);

    std::ifstream rom(romPath, std::ios::binary);
    if (!rom) return late("Can't find the ROM file!", Outcome::Failed);
    rom.seekg(0, std::ios::end);
    const std::streamoff length = rom.tellg();
    rom.seekg(0, std::ios::beg);
    if (length < 0 || !rom) return late("File I/O error!", Outcome::Failed);
    const auto size = static_cast<std::size_t>(length);
    const int lastPosition = static_cast<int>(size / kBlockSize / kBlocksPerProgressStep + 1);
    if (auto* ui = task.ui()) ui->progressRange(0, lastPosition);
    task.status("ROM file transfer in progress...");

    const auto result = tftp.sendFile(
        size,
        [&rom](std::span<unsigned char> into) {
            rom.read(reinterpret_cast<char*>(into.data()), static_cast<std::streamsize>(into.size()));
            return static_cast<std::size_t>(rom.gcount());
        },
        [&task](unsigned position) {
            if (auto* ui = task.ui()) ui->progress(static_cast<int>(position));
        },
        [&task] { return task.closing(); });
    switch (result.outcome) {
        case TftpServer::Outcome::Completed:
            break;
        case TftpServer::Outcome::Cancelled:
            return late("", Outcome::Cancelled);
        case TftpServer::Outcome::ReadError:
            return late("File I/O error!", Outcome::Failed);
        case TftpServer::Outcome::SendFailed:
            reportTftpError(tftp, result.code, task.ui());
            return late("Unable to upgrade flash ROM.", Outcome::NoAnswer);
        case TftpServer::Outcome::ConnectionLost:
            reportTftpError(tftp, result.code, task.ui());
            tftp.sendError();
            session.timing().pause(kLostConnectionPause);
            return late("Lost connection with Camera!", Outcome::NoAnswer);
    }
    // Every block was acknowledged: the bar may show it all.
    if (auto* ui = task.ui()) ui->progress(lastPosition);
    rom.close();
    tftp.close();
    return {task.succeed(kCompleted, "Firmware Upgrade"), {}};
}

}  // namespace

// This computer's address goes into device commands and the TFTP socket: it must be one of the
// PC's own IPv4 addresses, or the device would be told to fetch the image from somebody else.
bool reportTftpError(const TftpServer& tftp, int code, WorkerChannel* ui) {
    const std::string text = tftp.errorText(code);
    if (text.empty()) return false;
    if (ui) ui->ask({text, "TFTP Error", Question::Icon::Information, Choices::Ok});
    return code != TftpAlreadyOpen;
}

std::string pcAddressProblem(const std::string& text, const NetworkProfile& profile) {
    if (text.empty() || text == "0.0.0.0") return "You must specify this computer's IP address.";
    const auto address = parseIpv4(text);
    if (!address) return "This computer's address must be an IPv4 address such as 192.168.1.7.";
    const auto rows = profile.interfaceTable();
    if (!rows) return "Cannot read this computer's network interfaces to check its address.";
    for (const InterfaceRow& row : *rows)
        if (row.address == *address) return {};
    return "This computer's address " + text + " is not an address of this PC's network interfaces.";
}

std::string closestLocalAddress(const std::vector<InterfaceRow>& interfaces, Ipv4 device) {
    const auto value = [](Ipv4 address) { return static_cast<int64_t>(ntohl(address)); };
    // In address order, so that of two equally close addresses the lower wins.
    std::vector<InterfaceRow> rows = interfaces;
    std::stable_sort(rows.begin(), rows.end(), [&](const InterfaceRow& a, const InterfaceRow& b) {
        return value(a.address) < value(b.address);
    });
    const Ipv4 loopback = htonl(INADDR_LOOPBACK);
    std::optional<Ipv4> best;
    int64_t bestDistance = 0;
    for (const InterfaceRow& row : rows) {
        if (row.address == 0 || row.address == loopback) continue;
        const int64_t distance = std::abs(value(row.address) - value(device));
        if (!best || distance < bestDistance) {
            best = row.address;
            bestDistance = distance;
        }
    }
    return best ? dotted(*best) : std::string();
}

std::string pcAddressFor(const NetworkProfile& profile, const std::string& deviceAddress) {
    const std::optional<Ipv4> device = parseIpv4(deviceAddress);
    const auto interfaces = profile.interfaceTable();
    if (!device || !interfaces) return {};
    return closestLocalAddress(*interfaces, *device);
}

OperationResult upgradeWorker(WorkerTask& task, const UpgradeRequest& request) {
    return upgradeSteps(task, request, nullptr);
}

OperationResult batchUpgradeWorker(WorkerTask& task, const UpgradeRequest& request, UpgradeBatch& batch) {
    batch.admit(parseIpv4(task.deviceAddress()).value_or(0));
    return upgradeSteps(task, request, &batch);
}

}  // namespace lm
