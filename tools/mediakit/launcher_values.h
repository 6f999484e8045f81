// What the launcher would read from a value mediakit writes into disk1.id or
// Tarvolen.ini: a value it would read otherwise than written is refused, with
// the reason, since the launcher itself never tells.
#pragma once
#include <string>

// Why the profile service would not hand value back as written into a buffer
// of capacity characters (terminator included), as a clause ("ends with a
// blank, ..."); empty when it would.
std::string ProfileValueProblem(const std::string& value, unsigned capacity);

// Why the launcher would drop or rewrite a bracket pair of a command template
// (anything but a placeholder's full name), naming the pair; empty when every
// pair is a full name.
std::string CommandTemplateProblem(const std::string& commandTemplate);
