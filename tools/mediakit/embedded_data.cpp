#include "embedded_data.h"

#include "command_exit.h"
#include "command_files.h"
#include "package_library.h"
#include "pe_resource.h"

#include <memory>

namespace {

const uint16_t listingId = 101;
const uint16_t manifestId = 103;

// owner names the file in messages, library the image in the sentence.
std::string Resource(const std::string& owner, const std::string& library, const std::string& image, uint16_t id,
                     const std::string& what)
{
    std::optional<std::string> found;
    try {
        found = FindPeResource(image, "BIN", id);
    } catch (const NotPeImage& e) {
        EndCommand(exitError, owner + ": " + library + " is not a PE image whose resources can be read: " + e.what());
    }
    if (!found) {
        EndCommand(exitError, owner + ": " + library + " embeds no " + what + " (BIN " + std::to_string(id) +
                                  "); it was not built with a disc's data");
    }
    return std::move(*found);
}

// Bytes held for as long as the input is: a manifest is read twice when it is refused.
VerifyInput Held(const std::string& name, std::string bytes)
{
    auto held = std::make_shared<const std::string>(std::move(bytes));
    return VerifyInput{name, [held] { return *held; }};
}

EmbeddedData FromImage(const std::string& owner, const std::string& library, const std::string& image)
{
    EmbeddedData data;
    data.listing = Held(owner + "'s listing", Resource(owner, library, image, listingId, "listing"));
    data.manifest = Held(owner + "'s manifest", Resource(owner, library, image, manifestId, "manifest"));
    return data;
}

}  // namespace

EmbeddedData ReadLibraryData(const std::string& libraryPath)
{
    return FromImage(libraryPath, "the library", ReadInputFile(libraryPath, "library"));
}

EmbeddedData ReadPackageData(const std::string& packagePath)
{
    PackageLibrary library = ReadPackageLibrary(packagePath);
    return FromImage(packagePath, "its library (Binary row '" + library.key + "')", library.bytes);
}
