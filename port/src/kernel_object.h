// What a HANDLE points to on POSIX hosts: CloseHandle frees any kind.
#pragma once
#include <windows.h>

struct PortKernelObject {
    virtual ~PortKernelObject() = default;
};

template <typename T>
T* PortObjectOf(HANDLE handle)
{
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) {
        return nullptr;
    }
    return dynamic_cast<T*>(static_cast<PortKernelObject*>(handle));
}
