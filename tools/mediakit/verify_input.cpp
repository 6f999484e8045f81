#include "verify_input.h"

#include "command_files.h"

VerifyInput InputFile(const std::string& path, const std::string& what)
{
    return VerifyInput{path, [path, what] { return ReadInputFile(path, what); }};
}
