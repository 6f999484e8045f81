// Controls that only exist on POSIX hosts: they stand in for what Windows
// gets from the loader, the installer and the machine's configuration.
#pragma once
#include <msi.h>
#include <string>

// A fresh installer session with no properties and no folders set; close it
// with MsiCloseHandle.
MSIHANDLE PortCreateSession();

// Makes a session a deferred action's, run from the installation script:
// MsiGetMode answers TRUE for MSIRUNMODE_SCHEDULED. Sessions start immediate.
void PortSetSessionDeferred(MSIHANDLE session, bool deferred);

// A module of its own, for tests that need resources apart from the program's.
HMODULE PortCreateModule();

// Adds a resource to a module; the data must outlive the module.
void PortAddResource(HMODULE module, LPCSTR type, WORD id, WORD language, const void* data,
                     DWORD size);

// Maps a drive letter to a host folder, as Wine's dosdevices do. An empty
// folder removes the mapping.
void PortSetDrive(char letter, UINT driveType, const std::string& hostFolder);

// The host path that a Windows path names: drive letters through the drive
// table, backslashes turned into slashes. Empty when the drive is not mapped.
std::string PortHostPath(LPCSTR windowsPath);

// Makes FindNextFileA fail with error once a search in windowsFolder (the
// folder part of the pattern, "X:\\Help\\") has delivered that many entries,
// as a read error on a damaged disc does. An empty folder ends it.
void PortSetFindFailure(const std::string& windowsFolder, size_t entries, DWORD error);

// Makes one CryptoAPI function fail from now on, as on a machine whose
// provider is missing or broken: its name ("CryptHashData"), "*" for every
// one, or "" to make them all work again.
void PortSetCryptoFailure(const std::string& functionName);

// The path GetModuleFileNameA reports for the program, as Windows would name
// it ("C:\APP\TARVOLEN.EXE"); empty gives back the program's host path.
void PortSetModuleFileName(const std::string& windowsPath);

// Gives an existing path the short form a volume with 8.3 names would report.
// Without one, GetShortPathNameA answers the long path, as Windows does on a
// volume without short names.
void PortSetShortPathName(const std::string& longPath, const std::string& shortPath);

// Chooses the active ANSI code page (1252 at start); false for one the port
// does not know, which leaves the active one as it was.
bool PortSetCodePage(UINT codePage);

// What MessageBoxA and ShellExecuteExA were asked.
#include <port/host_user.h>
// The error mode each drive and file probe was made under.
#include <port/host_probes.h>
