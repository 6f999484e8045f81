// The listing (BIN 101) and the manifest (BIN 103) that Vesmark.dll embeds,
// read from the library's file or from the package that carries it, as what
// mediakit verify compares a tree with.
#pragma once
#include "verify_input.h"

struct EmbeddedData {
    VerifyInput listing;
    VerifyInput manifest;
};

// Each ends the command with exit code 2, in one line, when the file is not
// what it should be or the library embeds no listing or no manifest.
EmbeddedData ReadLibraryData(const std::string& libraryPath);
EmbeddedData ReadPackageData(const std::string& packagePath);
