#include "launcher/launcher_run.h"
#include "launcher/command_template.h"
#include "launcher/install_disc.h"
#include "launcher/launcher_settings.h"
#include "launcher/locate_settings.h"
#include "launcher/profile_text.h"
#include "launcher/start_installer.h"

#include <string>

namespace {

// A package path of five characters or fewer cannot name a package.
const size_t shortestPackagePath = 6;

std::string PlatformDirectory(UINT (WINAPI* getDirectory)(LPSTR, UINT))
{
    char directory[MAX_PATH] = {};
    UINT length = getDirectory(directory, MAX_PATH);
    // Not expected to fail; an unknown folder gives empty text.
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(directory);
}

void StartWithTemplate(HINSTANCE instance, const SettingsLocation& location, LauncherSettings& settings,
                       const std::string& packagePath)
{
    settings.transformName =
        ReadProfileText(location.settingsPath, "Command", "Transform", transformCapacity);
    PlaceholderValues values;
    values.sourceDirectory = LocateSourceDirectory(instance);
    values.windowsDirectory = PlatformDirectory(GetWindowsDirectoryA);
    values.systemDirectory = PlatformDirectory(GetSystemDirectoryA);
    values.package = packagePath;
    // No separator is added: an empty Transform gives the directory itself.
    // Nor is the path cut to a fixed area: a cut path would name another file.
    values.transform = location.launcherDirectory + settings.transformName;

    settings.commandTemplate =
        ReadProfileText(location.settingsPath, "Command", "Setup", commandTemplateCapacity);
    if (settings.commandTemplate.empty()) {
        return;
    }
    std::string commandLine = ExpandCommandTemplate(settings.commandTemplate, values);
    if (settings.debug != 0) {
        MessageBoxA(nullptr, commandLine.c_str(), "Tarvolen Debug", MB_ICONINFORMATION);
    }
    StartInstaller("MSIEXEC.EXE", commandLine);
}

}  // namespace

int RunLauncher(HINSTANCE instance, const char* commandTail)
{
    SettingsLocation location = LocateSettings(instance);
    SetCurrentDirectoryA(location.launcherDirectory.c_str());  // a failure changes nothing here

    LauncherSettings settings;
    settings.debug = GetPrivateProfileIntA("Info", "Debug", 0, location.settingsPath.c_str());
    settings.product = ReadProfileText(location.settingsPath, "Info", "Product", productCapacity);
    settings.id = ReadProfileText(location.settingsPath, "Info", "Id", idCapacity);

    // The command tail is taken verbatim, quotes and blanks included, and at
    // any length: a cut path would name another file.
    std::string packagePath;
    if (commandTail != nullptr && commandTail[0] != '\0') {
        packagePath = commandTail;
    } else {
        packagePath = FindInstallDisc(settings.product, settings.id);
    }
    if (packagePath.size() >= shortestPackagePath) {
        StartWithTemplate(instance, location, settings, packagePath);
    }
    return 0;
}
