// Built with every hardening turned off, for the hardening check to refuse.
#include <cstdio>

int main(int argc, char** argv) {
    char line[64];
    std::snprintf(line, sizeof line, "%d %s", argc, argv[0]);
    std::puts(line);
    return 0;
}
