// mediakit discid: writes the disc identification file "disk1.id" and,
// optionally, the launcher settings that match it.
#include "command_exit.h"
#include "command_files.h"
#include "commands.h"
#include "launcher_values.h"

#include "launcher/launcher_settings.h"

#include <iostream>
#include <memory>
#include <string>

namespace {

struct DiscIdOptions {
    std::string product;
    std::string id;
    std::string output = "disk1.id";
    std::string settings;
    std::string setupTemplate = "/i [%PACKAGE%]";
    std::string transform;
};

// The launcher matches a disc only when both files give it the identifier as
// written: one it would trim, unquote or cut is refused rather than written.
void CheckIdentifier(const std::string& what, const std::string& value, unsigned capacity)
{
    if (value.empty()) {
        EndCommand(exitError, what + " must not be empty: an empty identifier matches no disc");
    }
    std::string problem = ProfileValueProblem(value, capacity);
    if (!problem.empty()) {
        EndCommand(exitError, what + " '" + value + "' " + problem);
    }
}

void CheckSettingValue(const std::string& what, const std::string& value, unsigned capacity)
{
    std::string problem = ProfileValueProblem(value, capacity);
    if (!problem.empty()) {
        EndCommand(exitError, what + " " + problem);
    }
}

void WriteText(const std::string& path, const std::string& text, const std::string& what)
{
    WriteOutputFile(path, text, what);
    std::cout << "wrote " << path << '\n';
}

void RunDiscId(const DiscIdOptions& options)
{
    CheckIdentifier("--product", options.product, productCapacity);
    CheckIdentifier("--id", options.id, idCapacity);
    // Every value is checked before anything is written.
    if (!options.settings.empty()) {
        CheckSettingValue("--template", options.setupTemplate, commandTemplateCapacity);
        CheckSettingValue("--transform", options.transform, transformCapacity);
        if (options.setupTemplate.empty()) {
            EndCommand(exitError, "--template must not be empty: the launcher would start nothing");
        }
        std::string problem = CommandTemplateProblem(options.setupTemplate);
        if (!problem.empty()) {
            EndCommand(exitError, "--template: " + problem);
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
                        "product identifier (1 to 254 characters, blanks inside but not at either end)")
        ->required();
    command->add_option("--id", options->id, "disc identifier (1 to 39 characters, blanks inside but not at either end)")
        ->required();
    command->add_option("-o,--output", options->output, "where to write the disc file")
        ->capture_default_str();
    command->add_option("--settings", options->settings,
                        "also write launcher settings that match this disc to this file");
    command->add_option("--template", options->setupTemplate,
                        "installer command template for [Command] Setup in the settings (up to 1023 "
                        "characters; placeholders [%SRCDIR%], [%WINDIR%], [%WINSYSDIR%], [%PACKAGE%], "
                        "[%TRANSFORM%], written in full)")
        ->capture_default_str();
    command->add_option("--transform", options->transform,
                        "transform file name for [Command] Transform in the settings (up to 259 "
                        "characters)");
    command->callback([options]() { RunDiscId(*options); });
}
