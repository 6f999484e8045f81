#include <windows.h>
#include <port/host.h>

#include <cstring>
#include <memory>
#include <string>
#include <strings.h>
#include <vector>

struct HRSRC__ {
    std::string type;
    WORD id;
    WORD language;
    const void* data;
    DWORD size;
};

struct HINSTANCE__ {
    std::vector<std::unique_ptr<HRSRC__>> resources;
};

namespace {

HINSTANCE__& MainImage()
{
    static HINSTANCE__ image;
    return image;
}

std::vector<std::unique_ptr<HINSTANCE__>>& CreatedModules()
{
    static std::vector<std::unique_ptr<HINSTANCE__>> modules;
    return modules;
}

}  // namespace

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    // Only the program's own image is known by handle; named modules are not loaded here.
    return moduleName == nullptr ? &MainImage() : nullptr;
}

HMODULE PortCreateModule()
{
    CreatedModules().push_back(std::make_unique<HINSTANCE__>());
    return CreatedModules().back().get();
}

void PortAddResource(HMODULE module, LPCSTR type, WORD id, WORD language, const void* data,
                     DWORD size)
{
    module->resources.push_back(
        std::make_unique<HRSRC__>(HRSRC__{type, id, language, data, size}));
}

HRSRC WINAPI FindResourceA(HMODULE module, LPCSTR name, LPCSTR type)
{
    if (module == nullptr || name == nullptr || type == nullptr || !IS_INTRESOURCE(name) ||
        IS_INTRESOURCE(type)) {
        return nullptr;
    }
    WORD id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
    for (const auto& resource : module->resources) {
        // Resource type names are stored upper-case and looked up without regard to case.
        if (resource->id == id && strcasecmp(resource->type.c_str(), type) == 0) {
            return resource.get();
        }
    }
    return nullptr;
}

HGLOBAL WINAPI LoadResource(HMODULE /*module*/, HRSRC resource)
{
    return resource;
}

DWORD WINAPI SizeofResource(HMODULE /*module*/, HRSRC resource)
{
    return resource == nullptr ? 0 : resource->size;
}

LPVOID WINAPI LockResource(HGLOBAL resourceData)
{
    if (resourceData == nullptr) {
        return nullptr;
    }
    return const_cast<void*>(static_cast<HRSRC__*>(resourceData)->data);
}
