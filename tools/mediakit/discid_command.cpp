// mediakit discid: writes the disc identification file "disk1.id" and,
// optionally, the launcher settings that match it.
#include "command_exit.h"
#include "command_files.h"
#include "commands.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

// The launcher reads the product with a 255-character buffer and the id with a
// 40-character one; longer identifiers would be cut, and discs that differ only
// past the cut would match.
const size_t maxProductLength = 254;
const size_t maxIdLength = 39;

struct DiscIdOptions {
    std::string product;
    std::string id;
    std::string output = "disk1.id";
    std::string settings;
    std::string setupTemplate = "/i [%PACKAGE%]";
    std::string transform;
};

void CheckIdentifier(const std::string& what, const std::string& value, size_t maxLength)
{
    if (value.empty()) {
        EndCommand(exitError, what + " must not be empty: an empty identifier matches no disc");
    }
    if (value.size() > maxLength) {
        EndCommand(exitError, what + " '" + value + "' has " + std::to_string(value.size()) +
                                  " characters; the launcher compares at most " +
                                  std::to_string(maxLength));
    }
    // The profile service trims blanks and ends a value at a line break; keep to
    // visible ASCII so that both sides read exactly what was written.
    for (char c : value) {
        if (c < 0x21 || c > 0x7E) {
            EndCommand(exitError, what + " '" + value +
                                      "' may hold only visible ASCII characters (no blanks)");
        }
    }
}

void CheckSettingValue(const std::string& what, const std::string& value)
{
    if (value.find_first_of("\r\n") != std::string::npos) {
        EndCommand(exitError, what + " must be one line");
    }
}

void WriteText(const std::string& path, const std::string& text, const std::string& what)
{
    WriteOutputFile(path, text, what);
    std::cout << "wrote " << path << '\n';
}

void RunDiscId(const DiscIdOptions& options)
{
    CheckIdentifier("--product", options.product, maxProductLength);
    CheckIdentifier("--id", options.id, maxIdLength);
    // Every value is checked before anything is written.
    if (!options.settings.empty()) {
        CheckSettingValue("--template", options.setupTemplate);
        CheckSettingValue("--transform", options.transform);
        if (options.setupTemplate.empty()) {
            EndCommand(exitError, "--template must not be empty: the launcher would start nothing");
        }
    }
    WriteText(options.output,
              "[disk]\r\nProduct=" + options.product + "\r\nId=" + options.id + "\r\n", "disc file");
    if (options.settings.empty()) {
        return;
    }
    WriteText(options.settings, "[Info]\r\nDebug=0\r\nProduct=" + options.product + "\r\nId=" +
                                    options.id + "\r\n\r\n[Command]\r\nTransform=" +
                                    options.transform + "\r\nSetup=" + options.setupTemplate +
                                    "\r\n", "settings");
}

}  // namespace

void AddDiscIdCommand(CLI::App& app)
{
    auto options = std::make_shared<DiscIdOptions>();
    CLI::App* command = app.add_subcommand(
        "discid", "Write disk1.id for the root of a disc, and optionally the matching "
                  "launcher settings (Tarvolen.ini)");
    command->add_option("--product", options->product,
                        "product identifier (1 to 254 visible ASCII characters)")
        ->required();
    command->add_option("--id", options->id, "disc identifier (1 to 39 visible ASCII characters)")
        ->required();
    command->add_option("-o,--output", options->output, "where to write the disc file")
        ->capture_default_str();
    command->add_option("--settings", options->settings,
                        "also write launcher settings that match this disc to this file");
    command->add_option("--template", options->setupTemplate,
                        "installer command template for [Command] Setup in the settings")
        ->capture_default_str();
    command->add_option("--transform", options->transform,
                        "transform file name for [Command] Transform in the settings");
    command->callback([options]() { RunDiscId(*options); });
}
