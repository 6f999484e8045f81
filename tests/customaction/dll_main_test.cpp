#include "base/module_instance.h"

#include <gtest/gtest.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);

namespace {

HINSTANCE Fake(uintptr_t value)
{
    return reinterpret_cast<HINSTANCE>(value);
}

struct NotificationCase {
    DWORD reason;
    HINSTANCE before;
    HINSTANCE passed;
    HINSTANCE after;
};

TEST(DllMainTest, KeepsTheModuleHandleForEveryNotification)
{
    const NotificationCase cases[] = {
        {DLL_PROCESS_ATTACH, nullptr, Fake(0x1000), Fake(0x1000)},
        {DLL_THREAD_ATTACH, Fake(0x1000), Fake(0x1000), Fake(0x1000)},
        {DLL_THREAD_DETACH, Fake(0x1000), Fake(0x1000), Fake(0x1000)},
        {DLL_PROCESS_DETACH, Fake(0x1000), Fake(0x1000), nullptr},
        {7, Fake(0x1000), Fake(0x2000), Fake(0x1000)},
        {0xFFFFFFFFu, Fake(0x1000), Fake(0x2000), Fake(0x1000)},
    };
    HINSTANCE saved = moduleInstance;
    for (const NotificationCase& c : cases) {
        moduleInstance = c.before;
        EXPECT_EQ(TRUE, DllMain(c.passed, c.reason, nullptr)) << "reason " << c.reason;
        EXPECT_EQ(c.after, moduleInstance) << "reason " << c.reason;
    }
    moduleInstance = saved;
}

}  // namespace
