#!/usr/bin/python3
# Debian's interpreter on purpose: python3-pefile installs for it, not for
# whatever python3 comes first on the PATH.
"""Inspects a shipped 32-bit binary and fails on any difference from what the
installer and Windows expect of it, and on what a shipped build must not
carry: debug information, link time stamps, a function Windows XP SP3 does
not export, a way to start a thread, or more bytes than it was made in.

    check_pe.py dll Vesmark.dll
    check_pe.py exe Tarvolen.exe

Exit status 0 as expected, 1 a problem (each one named), 2 usage error.
"""
import os
import sys
import xml.etree.ElementTree as ElementTree

# No __pycache__ in the source tree.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.realpath(__file__)), "..", "..", "tools", "kitcmd"))
import pe_image  # noqa: E402

ALLOWED_IMPORTS = {
    "dll": ["kernel32.dll", "advapi32.dll", "msi.dll", "msvcrt.dll"],
    "exe": ["kernel32.dll", "user32.dll", "shell32.dll", "msvcrt.dll"],
}
# What each system DLL exports on Windows XP SP3 and the binaries call,
# themselves or through the runtime's start-up code. Windows XP SP3 is the
# oldest system the binaries load on, and one missing function stops the
# image from loading at all: the installer answers 1723. Before adding a name,
# check the documentation's "Minimum supported client"; GetTickCount64,
# InitializeConditionVariable, the SRWLock functions, CompareStringOrdinal,
# GetFileInformationByHandleEx and FlsAlloc, for instance, came with Vista.
XP_SP3_FUNCTIONS = {
    "kernel32.dll": set("""
        CloseHandle CompareFileTime CreateFileA CreateSemaphoreW DeleteCriticalSection
        EnterCriticalSection FindClose FindFirstFileA FindNextFileA FindResourceA FreeLibrary
        GetCommandLineA GetCurrentThreadId GetDriveTypeA GetFileAttributesA GetFileSize
        GetLastError GetLogicalDriveStringsA GetModuleFileNameA GetModuleHandleA GetModuleHandleW
        GetPrivateProfileIntA GetPrivateProfileStringA GetProcAddress GetShortPathNameA
        GetStartupInfoA GetSystemDirectoryA GetWindowsDirectoryA InitializeCriticalSection
        IsDBCSLeadByte IsDBCSLeadByteEx LeaveCriticalSection LoadLibraryA LoadLibraryW LoadResource
        LCMapStringW LockResource lstrcmpA lstrcmpiA MultiByteToWideChar ReadFile ReleaseSemaphore
        SetCurrentDirectoryA SetEndOfFile SetErrorMode SetFilePointer SetLastError
        SetUnhandledExceptionFilter SizeofResource Sleep TlsAlloc TlsFree TlsGetValue TlsSetValue
        VirtualAlloc VirtualFree VirtualProtect VirtualQuery WaitForSingleObject
        WideCharToMultiByte WriteFile""".split()),
    "advapi32.dll": set("""
        CryptAcquireContextA CryptCreateHash CryptDecrypt CryptDestroyHash CryptDestroyKey
        CryptEncrypt CryptGetHashParam CryptHashData CryptImportKey CryptReleaseContext
        CryptSetKeyParam""".split()),
    "msi.dll": {"MsiGetMode", "MsiGetPropertyA", "MsiGetTargetPathA"},
    "msvcrt.dll": set("""
        __getmainargs __initenv __mb_cur_max __p__acmdln __p__commode __p__fmode __set_app_type
        __setusermatherr _amsg_exit _cexit _close _errno _initterm _iob _lock _onexit _read
        _splitpath _unlock abort atoi calloc exit fprintf fputc fputs free fwrite localeconv
        malloc memchr memcmp memcpy memmove memset realloc setlocale signal strchr strcmp strcspn
        strerror strlen strncmp strspn strstr strtol vfprintf wcslen""".split()),
    "shell32.dll": {"ShellExecuteExA"},
    "user32.dll": {"GetDesktopWindow", "MessageBoxA"},
}
# Neither deliverable starts a thread: a custom action's DLL may be unloaded
# as soon as the action returns.
THREAD_STARTS = {"CreateThread", "CreateRemoteThread", "_beginthread", "_beginthreadex"}
# Bytes an image may take, the library's embedded listing and manifest (BIN
# resources, which grow with the product's disc) not counted.
SIZE_LIMITS = {"dll": 300000, "exe": 225000}
DLL_EXPORTS = ["CheckContentOfItems", "CheckItems", "CryptFile"]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def local_name(tag):
    return tag.rsplit("}", 1)[-1]


def manifest_problems(data):
    try:
        root = ElementTree.fromstring(data)
    except ElementTree.ParseError as e:
        return ["manifest is not XML (%s)" % e]
    problems = []
    if not any(local_name(e.tag) == "dependentAssembly" and any(
            local_name(i.tag) == "assemblyIdentity"
            and i.get("name") == "Microsoft.Windows.Common-Controls" and i.get("version") == "6.0.0.0"
            for i in e) for e in root.iter()):
        problems.append("manifest without the Common-Controls 6.0.0.0 dependency")
    if not any(local_name(e.tag) == "requestedExecutionLevel" and e.get("level") == "asInvoker"
               for e in root.iter()):
        problems.append("manifest does not request asInvoker")
    return problems


def imported_functions(pe):
    """(DLL name in lower case, function name or "#ordinal") of every import."""
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode("latin-1").lower()
        for function in entry.imports:
            yield dll, function.name.decode("latin-1") if function.name else "#%d" % function.ordinal


def import_problems(kind, pe):
    imports = pe_image.imports(pe)
    allowed = ALLOWED_IMPORTS[kind]
    problems = [] if imports else ["imports nothing"]
    problems += ["imports %s (allowed: %s)" % (name, " ".join(allowed))
                 for name in imports if name not in allowed]
    for dll, function in imported_functions(pe):
        if dll not in allowed:
            continue
        if function in THREAD_STARTS:
            problems.append("imports %s!%s: starts a thread" % (dll, function))
        elif function not in XP_SP3_FUNCTIONS[dll]:
            problems.append("imports %s!%s, not among the Windows XP SP3 exports it may use" % (dll, function))
    return problems


def size_problems(kind, pe):
    data = sum(size for type_key, _, _, size in pe_image.resources(pe) if type_key == "BIN")
    size = len(pe.__data__) - data
    limit = SIZE_LIMITS[kind]
    if size < limit:
        return []
    return ["%d bytes besides %d of embedded data, the limit is %d" % (size, data, limit)]


def library_problems(pe):
    problems = [] if pe_image.is_dll(pe) else ["not a DLL"]
    problems += import_problems("dll", pe)
    exports = pe_image.exports(pe)
    if exports != DLL_EXPORTS:
        problems.append("exports '%s', expected '%s'" % (" ".join(exports), " ".join(DLL_EXPORTS)))
    return problems


def program_problems(pe):
    problems = ["a DLL, not a program"] if pe_image.is_dll(pe) else []
    if pe.OPTIONAL_HEADER.Subsystem != 2:
        problems.append("not the Windows GUI subsystem")
    problems += import_problems("exe", pe)
    types = {kind for kind, _, _, _ in pe_image.resources(pe)}
    if not {RT_ICON, RT_GROUP_ICON} <= types:
        problems.append("has no icon")
    if RT_VERSION not in types or not any(v.Key == b"VS_VERSION_INFO" for v in getattr(pe, "VS_VERSIONINFO", [])):
        problems.append("has no version block")
    if RT_MANIFEST not in types:
        problems.append("has no manifest")
    else:
        problems += manifest_problems(pe_image.resource(pe, RT_MANIFEST, 1))
    return problems


def problems_of(kind, pe):
    problems = []
    if pe_image.machine(pe) != "i386":
        problems.append("not an image for i386")
    if pe.OPTIONAL_HEADER.Magic != 0x10B:
        problems.append("not PE32")
    problems += library_problems(pe) if kind == "dll" else program_problems(pe)
    debug = pe_image.debug_information(pe)
    if debug:
        problems.append("carries debug information (%s)" % ", ".join(debug))
    problems += ["time stamp 0x%x in the %s: two builds of the same sources differ" % (value, where)
                 for where, value in pe_image.time_stamps(pe)]
    return problems + size_problems(kind, pe)


def main(argv):
    if len(argv) != 3 or argv[1] not in ALLOWED_IMPORTS:
        sys.stderr.write(__doc__)
        return 2
    kind, path = argv[1], argv[2]
    try:
        pe = pe_image.open_image(path)
    except (OSError, pe_image.NotImage) as e:
        sys.stderr.write("FAIL: %s: cannot be read as a PE image (%s)\n" % (path, e))
        return 1
    problems = problems_of(kind, pe)
    for problem in problems:
        sys.stderr.write("FAIL: %s: %s\n" % (path, problem))
    if problems:
        sys.stderr.write("%s: %d problem(s)\n" % (path, len(problems)))
        return 1
    print("%s: PE32 i386 %s; imports: %s; exports: %s" % (
        path, kind, " ".join(pe_image.imports(pe)), " ".join(pe_image.exports(pe))))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
