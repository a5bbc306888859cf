// Writes a file on a device the way the settings writer does, for the end-to-end tests: logs in
// over telnet (LMTOOLS_PASSWORD, else the default password) and writes the lines given into PATH
// with /bin/cat or the editor. Prints the outcome and the device's message; exits 0 only when the
// write was Ok.
// Usage: remote_write cat|vi HOST PATH [LINE...]
#include <cstdlib>
#include <iostream>
#include <string>

#include "core/link/DeviceSession.h"

namespace {

const char* outcomeName(lm::Outcome outcome) {
    switch (outcome) {
        case lm::Outcome::Ok:
            return "Ok";
        case lm::Outcome::NoAnswer:
            return "NoAnswer";
        case lm::Outcome::Refused:
            return "Refused";
        case lm::Outcome::Cancelled:
            return "Cancelled";
        case lm::Outcome::Failed:
            return "Failed";
    }
    return "?";
}

}  // namespace

int main(int argc, char** argv) {
    const std::string method = argc > 1 ? argv[1] : "";
    if (argc < 4 || (method != "cat" && method != "vi")) {
        std::cerr << "usage: remote_write cat|vi HOST PATH [LINE...]\n";
        return 64;
    }
    const std::string host = argv[2];
    const std::string path = argv[3];
    const auto slash = path.rfind('/');

    lm::Session session;
    if (const char* password = std::getenv("LMTOOLS_PASSWORD")) session.setPassword(password);
    if (session.loginNetwork(host, false, nullptr) != lm::LoginOk) {
        std::cerr << "remote_write: no login at " << host << '\n';
        return 1;
    }
    lm::DeviceSession device(session);
    device.adoptLoginPrompt();
    session.setCatWriteSupported(method == "cat");
    session.remoteLines().assign(argv + 4, argv + argc);
    const lm::Outcome outcome = device.writeRemoteFile(path, path.substr(0, slash), path.substr(slash + 1));
    std::cout << outcomeName(outcome) << ' ' << device.deviceMessage() << '\n';
    device.logout(true);
    return outcome == lm::Outcome::Ok ? 0 : 1;
}
