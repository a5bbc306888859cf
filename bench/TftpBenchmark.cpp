// Firmware transfer speed: an 8 MiB image fetched over loopback by the distribution's TFTP client,
// once from our server and once from tftpd-hpa, both lock-step with 512-byte blocks.
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BenchRow.h"
#include "ChildProcess.h"
#include "TftpClientProgram.h"
#include "core/link/TftpServer.h"
#include "core/platform/Socket.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lm::test::ChildProcess;
using lm::test::TftpClientProgram;

constexpr std::size_t kImageBytes = 8 << 20;
constexpr int kRounds = 5;
constexpr lm::Milliseconds kFetchLimit{120000};
const char* const kImageName = "bootimage.bin";

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Seconds the client took to fetch the image, or nullopt when the fetch failed or came out wrong.
std::optional<double> timedFetch(const TftpClientProgram& client, uint16_t port, const fs::path& into,
                                 const std::string& image) {
    fs::remove(into);
    const auto start = Clock::now();
    const bool fetched = client.fetch(port, kImageName, into.string(), kFetchLimit);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!fetched || readAll(into) != image) return std::nullopt;
    return seconds;
}

std::optional<double> fromOurServer(const TftpClientProgram& client, const fs::path& imagePath,
                                    const fs::path& into, const std::string& image) {
    const lm::Timing timing;
    lm::TftpServer server(timing, 0);
    if (server.open("127.0.0.1") != lm::TftpOk) return std::nullopt;
    std::FILE* file = std::fopen(imagePath.c_str(), "rb");
    if (!file) return std::nullopt;
    lm::TftpServer::Result result{lm::TftpServer::Outcome::ConnectionLost, lm::TftpTimeout};
    std::thread serving([&] {
        if (server.waitForReadRequest("127.0.0.1", 20000) != lm::TftpOk) return;
        result = server.sendFile(image.size(),
                                 [file](std::span<unsigned char> bytes) {
                                     return std::fread(bytes.data(), 1, bytes.size(), file);
                                 },
                                 {}, {});
    });
    const auto seconds = timedFetch(client, server.localPort(), into, image);
    serving.join();
    std::fclose(file);
    if (result.outcome != lm::TftpServer::Outcome::Completed) return std::nullopt;
    return seconds;
}

uint16_t freeUdpPort() {
    auto probe = lm::UdpSocket::open();
    if (!probe || !probe->bind(*lm::parseIpv4("127.0.0.1"), 0)) return 0;
    return probe->localPort();
}

// True once something holds the port (the server has bound it).
bool portTaken(uint16_t port) {
    auto probe = lm::UdpSocket::open();
    return probe && !probe->bind(*lm::parseIpv4("127.0.0.1"), port);
}

std::optional<double> fromTftpdHpa(const std::string& daemon, const TftpClientProgram& client,
                                   const fs::path& folder, const fs::path& into, const std::string& image) {
    const uint16_t port = freeUdpPort();
    auto server = ChildProcess::start({daemon, "--foreground", "--address",
                                       "127.0.0.1:" + std::to_string(port), "--secure", folder.string()});
    if (!server || port == 0) return std::nullopt;
    const lm::Timing timing;
    for (int i = 0; i < 1000 && !portTaken(port); ++i)
        timing.pause(lm::Milliseconds(5));
    if (!portTaken(port)) return std::nullopt;
    return timedFetch(client, port, into, image);
}

}  // namespace

int main() {
    auto client = TftpClientProgram::find(TftpClientProgram::Kind::TftpHpa);
    if (!client) client = TftpClientProgram::find(TftpClientProgram::Kind::Curl);
    if (!client) {
        std::printf("tftp: skipped, no TFTP client (install tftp-hpa)\n");
        return 0;
    }
    std::string pattern = (fs::temp_directory_path() / "tftp_bench_XXXXXX").string();
    if (!::mkdtemp(pattern.data())) return 1;
    const fs::path folder = pattern;
    // tftpd-hpa serves as an unprivileged user from this folder.
    ::chmod(folder.c_str(), 0755);
    const fs::path imagePath = folder / kImageName;
    const fs::path into = fs::temp_directory_path() / (folder.filename().string() + "-fetched");

    std::string image(kImageBytes, '\0');
    std::mt19937 random(7);
    std::generate(image.begin(), image.end(), [&] { return static_cast<char>(random()); });
    std::ofstream(imagePath, std::ios::binary)
        .write(image.data(), static_cast<std::streamsize>(image.size()));
    ::chmod(imagePath.c_str(), 0644);

    const auto daemon = lm::test::findOnPath("in.tftpd").value_or("/usr/sbin/in.tftpd");
    std::optional<double> ours;
    std::optional<double> theirs;
    bool failed = false;
    for (int round = 0; round < kRounds; ++round) {
        const auto a = fromOurServer(*client, imagePath, into, image);
        const auto b = fs::exists(daemon) ? fromTftpdHpa(daemon, *client, folder, into, image) : std::nullopt;
        failed = failed || !a;
        if (a) ours = std::min(ours.value_or(*a), *a);
        if (b) theirs = std::min(theirs.value_or(*b), *b);
    }
    fs::remove_all(folder);
    fs::remove(into);

    const double mib = static_cast<double>(kImageBytes) / (1 << 20);
    std::printf("tftp: %.0f MiB in 512-byte blocks to %s, best of %d\n", mib, client->name(), kRounds);
    if (ours)
        std::printf("  ours       %.3f s  %.2f MiB/s\n", *ours, mib / *ours);
    else
        std::printf("  ours       failed\n");
    if (theirs)
        std::printf("  tftpd-hpa  %.3f s  %.2f MiB/s\n", *theirs, mib / *theirs);
    else
        std::printf("  tftpd-hpa  not measured (%s missing or not started)\n", daemon.c_str());
    if (ours && theirs)
        std::printf("  ratio ours/tftpd-hpa %.2f (target <= 1.00: %s)\n", *ours / *theirs,
                    *ours <= *theirs ? "met" : "missed");
    lm::bench::printRow(
        "an 8 MiB image served by TFTP in 512-byte blocks to tftp-hpa (`bench/tftp_benchmark`)",
        !ours    ? std::string("failed")
        : theirs ? lm::bench::format("%.2f s, against %.2f s from tftpd-hpa (ratio %.2f)", *ours, *theirs,
                                     *ours / *theirs)
                 : lm::bench::format("%.2f s (tftpd-hpa not installed: no peer)", *ours),
        "at least as fast", ours && theirs && *ours <= *theirs);
    return failed ? 1 : 0;
}
