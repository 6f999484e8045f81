#include "installer_object.h"

#include <cstring>
#include <map>

namespace {

std::map<MSIHANDLE, std::unique_ptr<PortInstallerObject>>& Objects()
{
    static std::map<MSIHANDLE, std::unique_ptr<PortInstallerObject>> objects;
    return objects;
}

}  // namespace

MSIHANDLE PortAddInstallerObject(std::unique_ptr<PortInstallerObject> object)
{
    static MSIHANDLE last = 0;
    // 0 is no handle; a number still open is not given twice.
    do {
        ++last;
    } while (last == 0 || Objects().count(last) != 0);
    Objects()[last] = std::move(object);
    return last;
}

PortInstallerObject* PortInstallerObjectOf(MSIHANDLE handle)
{
    auto found = Objects().find(handle);
    return found == Objects().end() ? nullptr : found->second.get();
}

UINT WINAPI MsiCloseHandle(MSIHANDLE any)
{
    auto found = Objects().find(any);
    if (found == Objects().end()) {
        return ERROR_INVALID_HANDLE;
    }
    // Taken out first: an object's destructor may close handles of its own.
    std::unique_ptr<PortInstallerObject> object = std::move(found->second);
    Objects().erase(found);
    return ERROR_SUCCESS;
}

UINT PortCopyInstallerText(const char* text, DWORD length, LPSTR buffer, LPDWORD bufferSize)
{
    if (buffer != nullptr && bufferSize == nullptr) {
        return ERROR_INVALID_PARAMETER;
    }
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
            std::memcpy(buffer, text, capacity - 1);
            buffer[capacity - 1] = '\0';
        }
    } else {
        std::memcpy(buffer, text, length);
        buffer[length] = '\0';
    }
    *bufferSize = length;
    return result;
}
