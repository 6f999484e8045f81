#include "launcher_values.h"

#include "launcher/command_template.h"

namespace {

// The blanks the profile service trims from both ends of a value.
const char profileBlanks[] = " \t\v\f\x1a";

// Each placeholder's value is its own full name, so that the launcher's
// expansion of a pair shows which name it selects, if any.
const PlaceholderValues fullNames = {"[%SRCDIR%]", "[%WINDIR%]", "[%WINSYSDIR%]", "[%PACKAGE%]",
                                     "[%TRANSFORM%]"};

}  // namespace

std::string ProfileValueProblem(const std::string& value, unsigned capacity)
{
    if (value.find_first_of("\r\n") != std::string::npos) {
        return "holds a line break, where the launcher's profile reader ends the value";
    }
    if (!value.empty() && std::string(profileBlanks).find(value.front()) != std::string::npos) {
        return "begins with a blank, which the launcher's profile reader drops";
    }
    if (!value.empty() && std::string(profileBlanks).find(value.back()) != std::string::npos) {
        return "ends with a blank, which the launcher's profile reader drops";
    }
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return "is enclosed in quotes, which the launcher's profile reader drops";
    }
    if (value.size() >= capacity) {
        return "has " + std::to_string(value.size()) + " characters; the launcher reads at most " +
               std::to_string(capacity - 1) + " and would cut the rest";
    }
    return "";
}

std::string CommandTemplateProblem(const std::string& commandTemplate)
{
    // Pairs are found as the launcher finds them: a "[" and the first "]" after it.
    for (size_t open = commandTemplate.find('['); open != std::string::npos;
         open = commandTemplate.find('[', open + 1)) {
        size_t close = commandTemplate.find(']', open + 1);
        if (close == std::string::npos) {
            break;  // a "[" without a "]" stays as written
        }
        std::string pair = commandTemplate.substr(open, close - open + 1);
        std::string read = ExpandCommandTemplate(pair, fullNames);
        if (read.empty()) {
            return "'" + pair + "' is no placeholder the launcher knows, and it would drop it (known: " +
                   fullNames.sourceDirectory + ", " + fullNames.windowsDirectory + ", " +
                   fullNames.systemDirectory + ", " + fullNames.package + ", " + fullNames.transform + ")";
        }
        if (read != pair) {
            return "the launcher reads '" + pair + "' as " + read + "; write the name in full";
        }
        open = close;
    }
    return "";
}
