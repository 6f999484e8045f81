// mediakit crypt encrypt|decrypt: a byte range of files in place, by the same
// range rules and the same library code as CryptFile.
#include "command_exit.h"
#include "commands.h"

#include "crypt/crypt_file.h"
#include "crypt/property_items.h"
#include "crypt/range_cipher.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The longest pass phrase CryptFile reads from "ProductNameShort".
const size_t maxPassLength = 31;

struct CryptOptions {
    std::string pass;
    std::string range;
    std::vector<std::string> files;
};

struct Range {
    LONG start;
    LONG length;
};

Range ParseRange(const std::string& text)
{
    std::vector<char> params(text.begin(), text.end());
    params.push_back('\0');
    Range range {};
    if (!SplitRange(params.data(), &range.start, &range.length)) {
        EndCommand(exitError, "--range '" + text + "' needs two numbers, START;LENGTH (e.g. \"16;32\")");
    }
    if (range.start < 0) {
        EndCommand(exitError, "--range '" + text + "': START must be 0 or more");
    }
    if (range.length < -1) {
        EndCommand(exitError, "--range '" + text + "': LENGTH must be 0 or more, or -1 for the file size");
    }
    return range;
}

// Every file is checked before any is changed, so a typing error in the list
// does not leave some files transformed and others not.
void CheckFiles(const std::vector<std::string>& files, const Range& range)
{
    std::set<fs::path> seen;
    for (const std::string& file : files) {
        std::error_code error;
        fs::file_status status = fs::status(file, error);
        if (!fs::exists(status)) {
            EndCommand(exitError, file + ": no such file; nothing was changed");
        }
        if (!fs::is_regular_file(status)) {
            EndCommand(exitError, file + ": not a regular file; nothing was changed");
        }
        if (access(file.c_str(), R_OK | W_OK) != 0) {
            EndCommand(exitError, file + ": cannot be read and written; nothing was changed");
        }
        if (!seen.insert(fs::canonical(file, error)).second) {
            EndCommand(exitError, file + ": listed twice (it would be transformed twice); nothing was changed");
        }
        uintmax_t size = fs::file_size(file, error);
        if (range.length == -1 && size > INT32_MAX) {
            EndCommand(exitError, file + ": over 2 GiB, too large for one range; nothing was changed");
        }
    }
}

void RunCrypt(const CryptOptions& options, int mode)
{
    if (options.pass.size() > maxPassLength) {
        EndCommand(exitError, "--pass has " + std::to_string(options.pass.size()) +
                                  " characters; CryptFile reads at most 31");
    }
    Range range = ParseRange(options.range);
    CheckFiles(options.files, range);
    const char* verb = mode == cipherEncrypt ? "encrypted" : "decrypted";
    int failed = 0;
    for (const std::string& file : options.files) {
        LONG done = TransformFileRange(file.c_str(), options.pass.c_str(), range.start, range.length, mode);
        if (done < 0) {
            std::cerr << "mediakit: " << file << ": not changed (it could not be opened for reading and "
                      << "writing, or CryptoAPI failed)\n";
            ++failed;
            continue;
        }
        std::cout << verb << ' ' << done << " bytes at offset " << range.start << ": " << file << '\n';
    }
    if (failed > 0) {
        EndCommand(exitError, std::to_string(failed) + " of " + std::to_string(options.files.size()) +
                                  " files not changed");
    }
}

void AddCryptMode(CLI::App& crypt, const char* name, int mode, const char* description)
{
    auto options = std::make_shared<CryptOptions>();
    CLI::App* command = crypt.add_subcommand(name, description);
    command->add_option("--pass", options->pass,
                        "Pass phrase, as the installer property ProductNameShort (at most 31 characters; "
                        "may be empty)")
        ->required();
    command->add_option("--range", options->range,
                        "START;LENGTH in bytes, separated by ';' or ',' as in the property RectPyrc. "
                        "LENGTH -1 means the file's current size, also when START is not 0. A range past "
                        "the end reads zeros there and lengthens the file to START+LENGTH.")
        ->required();
    command->add_option("files", options->files, "Files to transform in place")->required();
    command->callback([options, mode] { RunCrypt(*options, mode); });
}

}  // namespace

void AddCryptCommand(CLI::App& app)
{
    CLI::App* crypt = app.add_subcommand(
        "crypt",
        "Encrypt or decrypt one byte range of files in place, as CryptFile does during installation "
        "(format in docs/cipher.md). Every file is checked before any is changed.");
    crypt->require_subcommand(1);
    AddCryptMode(*crypt, "encrypt", cipherEncrypt,
                 "Encrypt the range of each file, as CryptFile does");
    AddCryptMode(*crypt, "decrypt", cipherDecrypt,
                 "Decrypt the range of each file: give the START and LENGTH used to encrypt it (a LENGTH of "
                 "-1 means the size now, which differs if encryption lengthened the file)");
}
