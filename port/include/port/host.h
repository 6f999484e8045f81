// Controls that only exist on POSIX hosts: they stand in for what Windows
// gets from the loader, the installer and the machine's configuration.
#pragma once
#include <msi.h>
#include <string>

// A fresh installer session with no properties and no folders set; close it
// with MsiCloseHandle.
MSIHANDLE PortCreateSession();

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

// Makes one CryptoAPI function fail from now on, as on a machine whose
// provider is missing or broken: its name ("CryptHashData"), "*" for every
// one, or "" to make them all work again.
void PortSetCryptoFailure(const std::string& functionName);
