// The generated sample disc for the check tests, and copies of it to change.
#pragma once
#include "tests/support/scratch_folder.h"

#include <filesystem>
#include <string>

// The disc as the system names it: a CD-ROM drive natively, the host's folder
// through Wine's Z: drive under Wine. Ends with a backslash.
std::string SampleDisc();

// The same folder as this program's file library names it.
std::filesystem::path SampleDiscFolder();

void SetReadOnly(const std::filesystem::path& path, bool readOnly);

// Copies the sample disc into the scratch folder with every file read-only, as pressed.
void CopySampleDisc(const CScratchFolder& scratch);
