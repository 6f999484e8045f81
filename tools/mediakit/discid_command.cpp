// mediakit discid: writes the disc identification file "disk1.id" and,
// optionally, the launcher settings that match it.
#include "code_page_text.h"
#include "command_exit.h"
#include "command_files.h"
#include "commands.h"
#include "launcher_values.h"
#include "number_option.h"

#include "launcher/launcher_settings.h"

#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct DiscIdOptions {
    std::string product;
    std::string id;
    std::string output = "disk1.id";
    std::string settings;
    std::string setupTemplate = "/i [%PACKAGE%]";
    std::string transform;
    unsigned codePage = 1252;
};

// The launcher reads both files through the ANSI profile calls: every value
// is written, and its length counted, in the disc's code page.
class CAnsiValues {
public:
    explicit CAnsiValues(unsigned page) : codePage(OpenCodePage(page)) {}

    std::string Bytes(const std::string& what, const std::string& value) const
    {
        std::string ansi;
        if (!codePage->ToAnsi(value, ansi)) {
            EndCommand(exitError, what + " '" + value + "' cannot be written in code page " +
                                      std::to_string(codePage->CodePage()) + " (choose it with --codepage)");
        }
        return ansi;
    }

private:
    static std::unique_ptr<CCodePageText> OpenCodePage(unsigned page)
    {
        try {
            return std::make_unique<CCodePageText>(page);
        } catch (const std::invalid_argument& e) {
            EndCommand(exitError, e.what());
        }
    }

    std::unique_ptr<CCodePageText> codePage;
};

// The launcher matches a disc only when both files give it the identifier as
// written: one it would trim, unquote or cut is refused rather than written.
std::string CheckIdentifier(const CAnsiValues& ansi, const std::string& what, const std::string& value,
                            unsigned capacity)
{
    if (value.empty()) {
        EndCommand(exitError, what + " must not be empty: an empty identifier matches no disc");
    }
    std::string bytes = ansi.Bytes(what, value);
    std::string problem = ProfileValueProblem(bytes, capacity);
    if (!problem.empty()) {
        EndCommand(exitError, what + " '" + value + "' " + problem);
    }
    return bytes;
}

std::string CheckSettingValue(const CAnsiValues& ansi, const std::string& what, const std::string& value,
                              unsigned capacity)
{
    std::string bytes = ansi.Bytes(what, value);
    std::string problem = ProfileValueProblem(bytes, capacity);
    if (!problem.empty()) {
        EndCommand(exitError, what + " " + problem);
    }
    return bytes;
}

void WriteText(const std::string& path, const std::string& text, const std::string& what)
{
    WriteOutputFile(path, text, what);
    std::cout << "wrote " << path << '\n';
}

void RunDiscId(const DiscIdOptions& options)
{
    // Every value and target is checked before anything is written.
    std::vector<NamedPath> outputs = {{"-o", options.output}};
    if (!options.settings.empty()) {
        outputs.push_back({"--settings", options.settings});
    }
    CheckOutputTargets(outputs, {});
    CAnsiValues ansi(options.codePage);
    std::string product = CheckIdentifier(ansi, "--product", options.product, productCapacity);
    std::string id = CheckIdentifier(ansi, "--id", options.id, idCapacity);
    std::string setupTemplate;
    std::string transform;
    if (!options.settings.empty()) {
        setupTemplate = CheckSettingValue(ansi, "--template", options.setupTemplate, commandTemplateCapacity);
        transform = CheckSettingValue(ansi, "--transform", options.transform, transformCapacity);
        if (options.setupTemplate.empty()) {
            EndCommand(exitError, "--template must not be empty: the launcher would start nothing");
        }
        std::string problem = CommandTemplateProblem(setupTemplate);
        if (!problem.empty()) {
            EndCommand(exitError, "--template: " + problem);
        }
    }
    WriteText(options.output, "[disk]\r\nProduct=" + product + "\r\nId=" + id + "\r\n", "disc file");
    if (options.settings.empty()) {
        return;
    }
    WriteText(options.settings, "[Info]\r\nDebug=0\r\nProduct=" + product + "\r\nId=" + id +
                                    "\r\n\r\n[Command]\r\nTransform=" + transform + "\r\nSetup=" +
                                    setupTemplate + "\r\n", "settings");
}

}  // namespace

void AddDiscIdCommand(CLI::App& app)
{
    auto options = std::make_shared<DiscIdOptions>();
    CLI::App* command = app.add_subcommand(
        "discid", "Write disk1.id for the root of a disc, and optionally the matching "
                  "launcher settings (Tarvolen.ini)");
    command->add_option("--product", options->product,
                        "product identifier (1 to 254 bytes in the code page, blanks inside but not at either end)")
        ->required();
    command->add_option("--id", options->id, "disc identifier (1 to 39 bytes in the code page, blanks inside but not at either end)")
        ->required();
    command->add_option("-o,--output", options->output, "where to write the disc file")
        ->capture_default_str();
    command->add_option("--settings", options->settings,
                        "also write launcher settings that match this disc to this file");
    command->add_option("--template", options->setupTemplate,
                        "installer command template for [Command] Setup in the settings (up to 1023 bytes "
                        "in the code page; placeholders [%SRCDIR%], [%WINDIR%], [%WINSYSDIR%], [%PACKAGE%], "
                        "[%TRANSFORM%], written in full)")
        ->capture_default_str();
    command->add_option("--transform", options->transform,
                        "transform file name for [Command] Transform in the settings (up to 259 bytes "
                        "in the code page)");
    command->add_option("--codepage", options->codePage,
                        "ANSI code page the launcher reads both files in: the disc's (default 1252); every "
                        "value is written, and its length counted, in it")
        ->check(decimalNumber);
    command->callback([options]() { RunDiscId(*options); });
}
