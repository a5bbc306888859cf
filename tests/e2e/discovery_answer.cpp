// Answers the discovery probe on every address of its network namespace, as a device's own
// discovery service does, so that a BusyBox device can say which device it is wherever its
// address moves. Usage: discovery_answer PORT REPLY READYFILE
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: discovery_answer PORT REPLY READYFILE\n");
        return 2;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
    any.sin_addr.s_addr = htonl(INADDR_ANY);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof any) != 0) {
        std::perror("discovery_answer: bind");
        return 1;
    }
    std::ofstream(argv[3]) << "up\n";
    const std::string reply = argv[2];
    char probe[512];
    for (;;) {
        sockaddr_in from{};
        socklen_t size = sizeof from;
        if (::recvfrom(fd, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&from), &size) < 0) continue;
        ::sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from), size);
    }
}
