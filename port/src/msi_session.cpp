#include <msi.h>
#include <msiquery.h>
#include <port/host.h>

#include <cstring>
#include <map>
#include <string>

namespace {

struct Session {
    std::map<std::string, std::string> properties;
    std::map<std::string, std::string> targetPaths;
    bool deferred = false;
};

std::map<MSIHANDLE, Session>& Sessions()
{
    static std::map<MSIHANDLE, Session> sessions;
    return sessions;
}

Session* SessionOf(MSIHANDLE handle)
{
    auto found = Sessions().find(handle);
    return found == Sessions().end() ? nullptr : &found->second;
}

// Copies a value out the way the installer does: the text is cut to the
// buffer and terminated, ERROR_MORE_DATA says it did not fit, and the size
// comes back as the value's length either way.
UINT CopyOut(const std::string& value, LPSTR buffer, LPDWORD bufferSize)
{
    if (buffer != nullptr && bufferSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
    DWORD length = static_cast<DWORD>(value.size());
    if (buffer == nullptr) {
        if (bufferSize != nullptr) {
            *bufferSize = length;
        }
        return ERROR_SUCCESS;
    }
    DWORD capacity = *bufferSize;
    UINT result = ERROR_SUCCESS;
    if (length >= capacity) {
        result = ERROR_MORE_DATA;
        if (capacity > 0) {
            std::memcpy(buffer, value.data(), capacity - 1);
            buffer[capacity - 1] = '\0';
        }
    } else {
        std::memcpy(buffer, value.c_str(), length + 1);
    }
    *bufferSize = length;
    return result;
}

}  // namespace

MSIHANDLE PortCreateSession()
{
    static MSIHANDLE next = 0;
    MSIHANDLE handle = ++next;
    Sessions()[handle] = Session();
    return handle;
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

UINT WINAPI MsiCloseHandle(MSIHANDLE any)
{
    return Sessions().erase(any) == 1 ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
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
