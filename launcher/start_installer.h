// Starts a program through the shell ("open", shown normally, in the current
// directory) and does not wait for it.
#pragma once
#include <string>

void StartInstaller(const char* program, const std::string& parameters);
