// A resource of a Windows PE image (PE32 or PE32+, any machine) found in the
// image's bytes, as the loader's resource directory lays it out: the type by
// name, the id by number, the first language. Every offset is checked against
// the bytes, so a truncated or hostile image is refused, never read past.
#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

// Why the bytes are not a PE image whose resources can be read.
struct NotPeImage : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The bytes of resource (typeName, id); nothing when the image has none.
// Throws NotPeImage for bytes that are no PE image or whose resource
// directory lies outside them.
std::optional<std::string> FindPeResource(const std::string& image, const std::string& typeName, uint16_t id);
