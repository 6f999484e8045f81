#include "command_exit.h"

#include <CLI/CLI.hpp>
#include <iostream>

void EndCommand(int exitCode, const std::string& message)
{
    if (!message.empty()) {
        std::cerr << "mediakit: " << message << '\n';
    }
    // CLI11 hands a RuntimeError's code back from App::exit without printing anything.
    throw CLI::RuntimeError(exitCode);
}
