// Times CheckContentOfItems of a Vesmark.dll in a real installer session, in
// the process that loads it, so Wine's start-up is not counted. Prints one
// line per run, the first one warming the cache: seconds and the action's
// result. Stops after RUNS more, or once BUDGET seconds have passed, so a
// slow check costs no minutes. Run by bench_table.py.
//   dll_check_timer VESMARK_DLL SOURCE_DIR RUNS BUDGET
#include "tests/support/test_session.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

typedef UINT(WINAPI* CustomAction)(MSIHANDLE);

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: dll_check_timer VESMARK_DLL SOURCE_DIR RUNS BUDGET\n");
        return 2;
    }
    HMODULE library = LoadLibraryA(argv[1]);
    CustomAction check =
        library != nullptr ? reinterpret_cast<CustomAction>(GetProcAddress(library, "CheckContentOfItems")) : nullptr;
    if (check == nullptr) {
        std::fprintf(stderr, "dll_check_timer: no CheckContentOfItems in %s\n", argv[1]);
        return 2;
    }
    CTestSession session;
    session.SetProperty("SourceDir", argv[2]);
    LARGE_INTEGER frequency = {};
    QueryPerformanceFrequency(&frequency);
    int runs = std::atoi(argv[3]);
    double budget = std::atof(argv[4]);
    double spent = 0;
    int failed = 0;
    for (int run = 0; run <= runs && spent < budget; ++run) {
        LARGE_INTEGER begin = {};
        LARGE_INTEGER end = {};
        QueryPerformanceCounter(&begin);
        UINT result = check(session.Handle());
        QueryPerformanceCounter(&end);
        double seconds = static_cast<double>(end.QuadPart - begin.QuadPart) / frequency.QuadPart;
        spent += seconds;
        failed |= result != ERROR_SUCCESS;
        std::printf("%.6f %u\n", seconds, result);
        std::fflush(stdout);
    }
    return failed ? 1 : 0;
}
