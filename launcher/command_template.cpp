#include "launcher/command_template.h"

namespace {

struct Placeholder {
    const char* name;
    std::string PlaceholderValues::*value;
};

// The order in which tokens are tried: %WINSYSDIR% before %WINDIR%, so %W
// and %WIN select the system directory.
const Placeholder placeholders[] = {
    {"%SRCDIR%", &PlaceholderValues::sourceDirectory},
    {"%WINSYSDIR%", &PlaceholderValues::systemDirectory},
    {"%WINDIR%", &PlaceholderValues::windowsDirectory},
    {"%PACKAGE%", &PlaceholderValues::package},
    {"%TRANSFORM%", &PlaceholderValues::transform},
};

const std::string* ValueOf(const std::string& token, const PlaceholderValues& values)
{
    for (const Placeholder& placeholder : placeholders) {
        std::string name = placeholder.name;
        if (token.size() <= name.size() && name.compare(0, token.size(), token) == 0) {
            return &(values.*placeholder.value);
        }
    }
    return nullptr;
}

}  // namespace

// The command line grows as needed: cutting it to a fixed area could start
// the installer with a command of a different meaning.
std::string ExpandCommandTemplate(const std::string& commandTemplate, const PlaceholderValues& values)
{
    std::string commandLine;
    size_t scan = 0;
    while (scan < commandTemplate.size()) {
        size_t open = commandTemplate.find('[', scan);
        size_t close = open == std::string::npos ? open : commandTemplate.find(']', open + 1);
        if (close == std::string::npos) {
            commandLine.append(commandTemplate, scan, std::string::npos);
            break;
        }
        commandLine.append(commandTemplate, scan, open - scan);
        const std::string* value = ValueOf(commandTemplate.substr(open + 1, close - open - 1), values);
        if (value != nullptr) {
            commandLine += *value;
        }
        scan = close + 1;
    }
    return commandLine;
}
