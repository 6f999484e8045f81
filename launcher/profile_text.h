// Reads one text value of a settings file through the platform's profile
// service, which cuts a longer value to capacity - 1 characters.
#pragma once
#include <string>

std::string ReadProfileText(const std::string& fileName, const char* section, const char* key,
                            unsigned capacity);
