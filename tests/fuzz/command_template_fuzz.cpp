// Arbitrary templates and values through ExpandCommandTemplate. With marker
// values, each bracket pair alone gives nothing or the marker of the first
// name its token begins, and the whole template gives its text outside the
// pairs copied unchanged with each pair's marker where the pair stood. With
// the real values the line is that with each marker replaced by its value:
// values are inserted whole and never scanned, and the line is exactly as
// long as the text outside the pairs and the selected values together.
#include "launcher/command_template.h"
#include "tests/fuzz/fuzz_support.h"

#include <string>
#include <vector>

namespace {

// In the order in which tokens are tried.
const char* const names[] = {"%SRCDIR%", "%WINSYSDIR%", "%WINDIR%", "%PACKAGE%", "%TRANSFORM%"};
const size_t nameCount = 5;

// A marker is the byte 0x01 followed by the placeholder's index.
const char markerByte = '\x01';

PlaceholderValues FromSlots(const std::vector<std::string>& slots)
{
    return PlaceholderValues{slots[0], slots[2], slots[1], slots[3], slots[4]};
}

struct Pair {
    size_t open;
    size_t close;
};

// The pairs from left to right: a "[" and the first "]" after it.
std::vector<Pair> PairsOf(const std::string& text)
{
    std::vector<Pair> pairs;
    size_t open = text.find('[');
    while (open != std::string::npos) {
        size_t close = text.find(']', open + 1);
        if (close == std::string::npos) {
            break;
        }
        pairs.push_back({open, close});
        open = text.find('[', close + 1);
    }
    return pairs;
}

bool Begins(const std::string& name, const std::string& token)
{
    return token.size() <= name.size() && name.compare(0, token.size(), token) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Template, then the five values in the order of names[], apart at zero bytes.
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0 && parts.size() < 1 + nameCount) {
            parts.emplace_back();
        } else {
            parts.back() += static_cast<char>(data[i]);
        }
    }
    parts.resize(1 + nameCount);
    const std::string& commandTemplate = parts[0];
    std::vector<std::string> values(parts.begin() + 1, parts.end());
    std::vector<std::string> markers;
    for (size_t n = 0; n < nameCount; ++n) {
        markers.push_back(std::string(1, markerByte) + static_cast<char>('0' + n));
    }

    std::string marked = ExpandCommandTemplate(commandTemplate, FromSlots(markers));
    std::string expanded = ExpandCommandTemplate(commandTemplate, FromSlots(values));

    // The template's text and pairs, each pair with what it gives alone.
    std::string fromPairs;
    std::string fromValues;
    size_t scan = 0;
    for (const Pair& pair : PairsOf(commandTemplate)) {
        std::string before = commandTemplate.substr(scan, pair.open - scan);
        fromPairs += before;
        fromValues += before;
        std::string token = commandTemplate.substr(pair.open + 1, pair.close - pair.open - 1);
        std::string alone = ExpandCommandTemplate("[" + token + "]", FromSlots(markers));
        size_t selected = nameCount;
        if (!alone.empty()) {
            Require(alone.size() == 2 && alone[0] == markerByte);
            selected = static_cast<size_t>(alone[1] - '0');
            Require(selected < nameCount);
            fromValues += values[selected];
        }
        fromPairs += alone;
        // The first name the token begins, and none when it begins none.
        for (size_t n = 0; n < nameCount; ++n) {
            if (Begins(names[n], token)) {
                Require(selected == n);
                break;
            }
            Require(selected != n);
        }
        scan = pair.close + 1;
    }
    fromPairs += commandTemplate.substr(scan);
    fromValues += commandTemplate.substr(scan);
    Require(marked == fromPairs);
    Require(expanded == fromValues);
    return 0;
}
