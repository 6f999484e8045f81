// The custom-action library of a package built with Vesmark's fragment, read
// through the installer's database functions: the row of the Binary table
// that the Source of the CheckItems action names.
#pragma once
#include <string>

struct PackageLibrary {
    std::string key;    // the Binary row's Name
    std::string bytes;  // its Data
};

// Ends the command with exit code 2 when the package is not an installer
// database or calls no CheckItems from its Binary table.
PackageLibrary ReadPackageLibrary(const std::string& packagePath);
