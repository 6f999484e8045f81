// The subcommands of mediakit; each lives in its own file and registers itself
// on the application it is given.
#pragma once
#include <CLI/CLI.hpp>

void AddListingCommand(CLI::App& app);
void AddManifestCommand(CLI::App& app);
void AddVerifyCommand(CLI::App& app);
void AddCryptCommand(CLI::App& app);
void AddDiscIdCommand(CLI::App& app);
