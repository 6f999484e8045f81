#include "find_failure.h"

#ifdef _WIN32
#include <cstring>
#include <map>

namespace {

struct Planned {
    std::string folder;
    size_t entries = 0;
    DWORD error = 0;
};

Planned planned;
// Searches of the planned folder and the entries each has delivered.
std::map<HANDLE, size_t> delivered;

typedef HANDLE(WINAPI* FindFirstFunction)(LPCSTR, LPWIN32_FIND_DATAA);
typedef BOOL(WINAPI* FindNextFunction)(HANDLE, LPWIN32_FIND_DATAA);
FindFirstFunction realFindFirst = nullptr;
FindNextFunction realFindNext = nullptr;

HANDLE WINAPI FailingFindFirst(LPCSTR pattern, LPWIN32_FIND_DATAA data)
{
    HANDLE search = realFindFirst(pattern, data);
    // A handle value may come back for another folder once closed.
    delivered.erase(search);
    std::string text = pattern;
    if (search != INVALID_HANDLE_VALUE && text.substr(0, text.find_last_of("\\/") + 1) == planned.folder) {
        delivered[search] = 1;
    }
    return search;
}

BOOL WINAPI FailingFindNext(HANDLE search, LPWIN32_FIND_DATAA data)
{
    auto known = delivered.find(search);
    if (known != delivered.end() && known->second >= planned.entries) {
        SetLastError(planned.error);
        return FALSE;
    }
    BOOL found = realFindNext(search, data);
    if (found && known != delivered.end()) {
        ++known->second;
    }
    return found;
}

// The program's import slot of a KERNEL32 function.
void** ImportSlot(const char* function)
{
    BYTE* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + module->Name), "KERNEL32.dll") != 0) {
            continue;
        }
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

// Puts replacement into the slot and returns what was there.
void* Replace(const char* function, void* replacement)
{
    void** slot = ImportSlot(function);
    if (slot == nullptr) {
        return nullptr;
    }
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(*slot), PAGE_READWRITE, &protection);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(*slot), protection, &protection);
    return previous;
}

}  // namespace

CFindFailure::CFindFailure(const std::string& folder, size_t entries, DWORD error)
{
    planned = Planned{folder, entries, error};
    delivered.clear();
    realFindFirst = reinterpret_cast<FindFirstFunction>(
        Replace("FindFirstFileA", reinterpret_cast<void*>(&FailingFindFirst)));
    realFindNext = reinterpret_cast<FindNextFunction>(
        Replace("FindNextFileA", reinterpret_cast<void*>(&FailingFindNext)));
}

CFindFailure::~CFindFailure()
{
    Replace("FindFirstFileA", reinterpret_cast<void*>(realFindFirst));
    Replace("FindNextFileA", reinterpret_cast<void*>(realFindNext));
    delivered.clear();
}

#else
#include <port/host.h>

CFindFailure::CFindFailure(const std::string& folder, size_t entries, DWORD error)
{
    PortSetFindFailure(folder, entries, error);
}

CFindFailure::~CFindFailure()
{
    PortSetFindFailure("", 0, 0);
}
#endif
