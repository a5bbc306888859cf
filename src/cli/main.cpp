#include <iostream>

#include "cli/CliApp.h"

int main(int argc, char** argv) {
    return lm::cli::runCli(argc, argv, std::cout, std::cerr);
}
