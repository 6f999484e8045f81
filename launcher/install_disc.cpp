#include "launcher/install_disc.h"
#include "launcher/launcher_settings.h"
#include "launcher/path_parts.h"
#include "launcher/profile_text.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace {

// Probing a drive without a disc must not bring up the system's "no disk"
// box: critical errors fail the call instead while the search runs, and the
// caller's mode comes back on every way out.
class CFailCriticalErrors {
public:
    CFailCriticalErrors() : previousMode(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CFailCriticalErrors() { SetErrorMode(previousMode); }
    CFailCriticalErrors(const CFailCriticalErrors&) = delete;
    CFailCriticalErrors& operator=(const CFailCriticalErrors&) = delete;

private:
    UINT previousMode;
};

}  // namespace

bool IsInstallDisc(const std::string& discIdPath, const std::string& product, const std::string& id)
{
    // A drive without a disc, or a disc without the file, ends here.
    if (GetFileAttributesA(discIdPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
        return false;
    }
    // Read with the settings' capacities, so both sides are cut alike.
    std::string discProduct = ReadProfileText(discIdPath, "disk", "Product", productCapacity);
    if (discProduct.empty() || lstrcmpA(discProduct.c_str(), product.c_str()) != 0) {
        return false;
    }
    std::string discId = ReadProfileText(discIdPath, "disk", "Id", idCapacity);
    return !discId.empty() && lstrcmpA(discId.c_str(), id.c_str()) == 0;
}

std::string FindInstallDisc(const std::string& product, const std::string& id)
{
    CFailCriticalErrors failCriticalErrors;
    DWORD needed = GetLogicalDriveStringsA(0, nullptr);
    std::vector<char> roots(needed + 2, '\0');
    // A list that cannot be had is an empty list: no disc is found.
    if (needed == 0 || GetLogicalDriveStringsA(needed, roots.data()) > needed) {
        return std::string();
    }
    for (const char* root = roots.data(); *root != '\0'; root += std::strlen(root) + 1) {
        if (GetDriveTypeA(root) != DRIVE_CDROM) {
            continue;
        }
        if (IsInstallDisc(JoinPath("", root, "disk1.id", ""), product, id)) {
            return JoinPath("", root, "setup.msi", "");
        }
    }
    return std::string();
}
