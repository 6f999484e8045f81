// The installation disc: a CD-ROM whose "disk1.id" carries the product and
// disc identifiers of the settings, with "setup.msi" at its root.
#pragma once
#include <string>

// True when the identification file exists and its "disk" section holds
// exactly this product and id (compared case-sensitively, neither empty).
bool IsInstallDisc(const std::string& discIdPath, const std::string& product, const std::string& id);

// "setup.msi" at the root of the first matching CD-ROM drive in the
// platform's drive order, or empty text when no drive matches.
std::string FindInstallDisc(const std::string& product, const std::string& id);
