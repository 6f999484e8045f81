// What an MSIHANDLE names on POSIX hosts: sessions, databases, views and
// records share one numbering, and MsiCloseHandle frees any kind.
#pragma once
#include <msi.h>

#include <memory>

struct PortInstallerObject {
    virtual ~PortInstallerObject() = default;
};

// Takes the object and gives it a handle no other open object has.
MSIHANDLE PortAddInstallerObject(std::unique_ptr<PortInstallerObject> object);

PortInstallerObject* PortInstallerObjectOf(MSIHANDLE handle);

template <typename T>
T* PortInstallerObjectAs(MSIHANDLE handle)
{
    return dynamic_cast<T*>(PortInstallerObjectOf(handle));
}

// Copies text out the way the installer does: cut to the buffer and
// terminated, ERROR_MORE_DATA when it did not fit, and the size set to the
// text's length either way.
UINT PortCopyInstallerText(const char* text, DWORD length, LPSTR buffer, LPDWORD bufferSize);
