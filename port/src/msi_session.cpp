#include <msi.h>
#include <msiquery.h>
#include <port/host.h>

#include "installer_object.h"

#include <map>
#include <string>

namespace {

struct Session : PortInstallerObject {
    std::map<std::string, std::string> properties;
    std::map<std::string, std::string> targetPaths;
    bool deferred = false;
};

Session* SessionOf(MSIHANDLE handle)
{
    return PortInstallerObjectAs<Session>(handle);
}

UINT CopyOut(const std::string& value, LPSTR buffer, LPDWORD bufferSize)
{
    return PortCopyInstallerText(value.data(), static_cast<DWORD>(value.size()), buffer, bufferSize);
}

}  // namespace

MSIHANDLE PortCreateSession()
{
    return PortAddInstallerObject(std::make_unique<Session>());
}

void PortSetSessionDeferred(MSIHANDLE handle, bool deferred)
{
    Session* session = SessionOf(handle);
    if (session != nullptr) {
        session->deferred = deferred;
    }
}

// The port makes no rollback or commit scripts, so only a deferred session
// answers TRUE, and only for MSIRUNMODE_SCHEDULED; a bad handle answers FALSE.
BOOL WINAPI MsiGetMode(MSIHANDLE install, MSIRUNMODE runMode)
{
    Session* session = SessionOf(install);
    return session != nullptr && session->deferred && runMode == MSIRUNMODE_SCHEDULED ? TRUE : FALSE;
}

UINT WINAPI MsiGetPropertyA(MSIHANDLE install, LPCSTR name, LPSTR valueBuf, LPDWORD valueBufSize)
{
    Session* session = SessionOf(install);
    if (session == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto found = session->properties.find(name);
    return CopyOut(found == session->properties.end() ? std::string() : found->second, valueBuf,
                   valueBufSize);
}

UINT WINAPI MsiSetPropertyA(MSIHANDLE install, LPCSTR name, LPCSTR value)
{
    Session* session = SessionOf(install);
    if (session == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (name == nullptr || *name == '\0') {
        return ERROR_INVALID_PARAMETER;
    }
    if (value == nullptr || *value == '\0') {
        session->properties.erase(name);
    } else {
        session->properties[name] = value;
    }
    return ERROR_SUCCESS;
}

UINT WINAPI MsiGetTargetPathA(MSIHANDLE install, LPCSTR folder, LPSTR pathBuf, LPDWORD pathBufSize)
{
    Session* session = SessionOf(install);
    if (session == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (folder == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    auto found = session->targetPaths.find(folder);
    if (found == session->targetPaths.end()) {
        return ERROR_DIRECTORY;
    }
    return CopyOut(found->second, pathBuf, pathBufSize);
}

UINT WINAPI MsiSetTargetPathA(MSIHANDLE install, LPCSTR folder, LPCSTR folderPath)
{
    Session* session = SessionOf(install);
    if (session == nullptr) {
        return ERROR_INVALID_HANDLE;
    }
    if (folder == nullptr || folderPath == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    // The installer keeps every resolved folder path with a trailing backslash.
    std::string path = folderPath;
    if (path.empty() || path.back() != '\\') {
        path += '\\';
    }
    session->targetPaths[folder] = path;
    return ERROR_SUCCESS;
}
