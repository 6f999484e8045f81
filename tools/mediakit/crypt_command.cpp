// mediakit crypt encrypt|decrypt: a byte range of files in place, by the same
// range rules and the same library code as CryptFile.
#include "code_page_text.h"
#include "command_exit.h"
#include "commands.h"
#include "host_entry.h"
#include "number_option.h"

#include "crypt/crypt_file.h"
#include "crypt/property_items.h"
#include "crypt/range_cipher.h"
#include "base/handle_owner.h"

#include <cstdint>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// The longest pass phrase CryptFile reads from "ProductNameShort".
const size_t maxPassLength = 31;

struct CryptOptions {
    std::string pass;
    unsigned codePage = 1252;
    std::string range;
    std::vector<std::string> files;
    uint64_t size = 0;
    CLI::Option* sizeOption = nullptr;  // decrypt only: given when the files are to be cut to size

    bool CutsToSize() const { return sizeOption != nullptr && sizeOption->count() > 0; }
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

std::string OpenFailure(DWORD error)
{
    if (error == ERROR_SHARING_VIOLATION) {
        return "it is held open by another program that shares neither reading nor writing";
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
        return "no such file";
    }
    return "it cannot be opened for reading and writing (it is read-only, which CryptFile refuses even "
           "to an administrator, or access is denied)";
}

// Why a range was left alone or could not be put back, in the user's terms.
std::string FaultText(RangeFault fault)
{
    switch (fault) {
    case rangeFaultOpen:
        return "it could not be opened for reading and writing";
    case rangeFaultSize:
        return "too large for one range";
    case rangeFaultRead:
        return "it could not be read";
    case rangeFaultMemory:
        return "no memory for the range";
    case rangeFaultCipher:
        return "CryptoAPI failed";
    case rangeFaultNoRoom:
        return "no room on the disk for the range";
    case rangeFaultWrite:
        return "writing the range failed";
    default:
        return "no such range";
    }
}

// Every file is checked, with the very open the transform uses, before any
// is changed, so that a typing error or an unwritable file in the list does
// not leave some files transformed and others not. Answers each file's size.
std::vector<uint64_t> CheckFiles(const CryptOptions& options, const Range& range)
{
    // A file is known by its device and inode: another name of it, a
    // symbolic or a hard link, would have its range transformed twice.
    std::map<FileKey, std::string> seen;
    std::vector<uint64_t> sizes;
    for (const std::string& file : options.files) {
        FileKey key;
        HostFileKind kind = ExamineHostFile(file, key);
        if (kind == HostFileKind::missing) {
            EndCommand(exitError, file + ": no such file; nothing was changed");
        }
        if (kind != HostFileKind::regular) {
            EndCommand(exitError, file + ": not a regular file; nothing was changed");
        }
        auto first = seen.emplace(key, file);
        if (!first.second) {
            EndCommand(exitError, file + ": the same file as " + first.first->second +
                                      " (listed twice, or a link to it); it would be transformed twice, so "
                                      "list it once; nothing was changed");
        }
        CFileHandle handle(OpenRangeFile(file.c_str()));
        if (!handle.IsOpen()) {
            EndCommand(exitError, file + ": " + OpenFailure(GetLastError()) + "; nothing was changed");
        }
        uint64_t size = 0;
        if (!ReadFileSize64(handle.Get(), &size)) {
            EndCommand(exitError, file + ": its size cannot be read; nothing was changed");
        }
        LONG length = range.length;
        if (ResolveRange(size, range.start, &length) != rangeFaultNone) {
            EndCommand(exitError, file + ": too large for one range (files of 4 GiB or more, and ranges "
                                         "that end past byte 2147483647, are refused); nothing was changed");
        }
        if (options.CutsToSize() && options.size > size) {
            EndCommand(exitError, "--size " + std::to_string(options.size) + " is larger than " + file + " (" +
                                      std::to_string(size) + " bytes); nothing was changed");
        }
        sizes.push_back(size);
    }
    return sizes;
}

// The pass phrase as CryptFile reads it from the installer: in the
// package's code page, which is the disc's.
std::string PassBytes(const CryptOptions& options)
{
    std::string pass;
    try {
        CCodePageText codePage(options.codePage);
        if (!codePage.ToAnsi(options.pass, pass)) {
            EndCommand(exitError, "--pass cannot be written in code page " + std::to_string(options.codePage) +
                                      ", which CryptFile reads it in (choose it with --codepage)");
        }
    } catch (const std::invalid_argument& e) {
        EndCommand(exitError, e.what());
    }
    if (pass.size() > maxPassLength) {
        EndCommand(exitError, "--pass has " + std::to_string(pass.size()) + " bytes in code page " +
                                  std::to_string(options.codePage) + "; CryptFile reads at most 31");
    }
    return pass;
}

void RunCrypt(const CryptOptions& options, int mode)
{
    std::string pass = PassBytes(options);
    Range range = ParseRange(options.range);
    std::vector<uint64_t> sizes = CheckFiles(options, range);
    const char* verb = mode == cipherEncrypt ? "encrypted" : "decrypted";
    size_t unchanged = 0;
    size_t damaged = 0;
    size_t uncut = 0;
    for (size_t i = 0; i < options.files.size(); ++i) {
        const std::string& file = options.files[i];
        RangeFault fault = rangeFaultNone;
        LONG done = TransformFileRange(file.c_str(), pass.c_str(), range.start, range.length, mode, &fault);
        if (done == cryptRangeDamaged) {
            std::cerr << "mediakit: " << file << ": DAMAGED: " << FaultText(fault)
                      << ", and its original bytes or size could not be put back; restore it from a copy\n";
            ++damaged;
            continue;
        }
        if (done < 0) {
            bool writeFailed = fault == rangeFaultNoRoom || fault == rangeFaultWrite;
            std::cerr << "mediakit: " << file << ": not changed: " << FaultText(fault)
                      << (writeFailed ? " (the original was put back and read back)" : "") << '\n';
            ++unchanged;
            continue;
        }
        std::cout << verb << ' ' << done << " bytes at offset " << range.start << ": " << file;
        uint64_t now = 0;
        if (mode == cipherEncrypt && HostFileSize(file, now) && now > sizes[i]) {
            std::cout << " (lengthened by " << now - sizes[i] << " bytes, from " << sizes[i] << " to " << now
                      << "; decrypt with --size " << sizes[i] << " to get the original back)";
        }
        if (options.CutsToSize()) {
            std::string failure = ResizeHostFile(file, options.size);
            if (!failure.empty()) {
                std::cout << '\n';
                std::cerr << "mediakit: " << file << ": decrypted, but not cut to " << options.size
                          << " bytes: " << failure << '\n';
                ++uncut;
                continue;
            }
            std::cout << " (cut to " << options.size << " bytes)";
        }
        std::cout << '\n';
    }
    std::string total = " of " + std::to_string(options.files.size()) + " files";
    if (damaged > 0) {
        EndCommand(exitError, std::to_string(damaged) + total + " DAMAGED, " + std::to_string(unchanged) +
                                  " not changed");
    }
    if (unchanged > 0 || uncut > 0) {
        EndCommand(exitError, std::to_string(unchanged) + total + " not changed" +
                                  (uncut > 0 ? ", " + std::to_string(uncut) + " decrypted but not cut" : ""));
    }
}

void AddCryptMode(CLI::App& crypt, const char* name, int mode, const char* description)
{
    auto options = std::make_shared<CryptOptions>();
    CLI::App* command = crypt.add_subcommand(name, description);
    command->add_option("--pass", options->pass,
                        "Pass phrase, as the installer property ProductNameShort: keyed with its bytes in "
                        "--codepage, as CryptFile reads it (at most 31 bytes there; may be empty)")
        ->required();
    command->add_option("--codepage", options->codePage,
                        "ANSI code page of the package that carries the pass phrase: the disc's (default 1252)")
        ->check(decimalNumber);
    command->add_option("--range", options->range,
                        "START;LENGTH in bytes, separated by ';' or ',' as in the property RectPyrc. "
                        "LENGTH -1 means the file's current size, also when START is not 0. A range past "
                        "the end reads zeros there and lengthens the file to START+LENGTH: encrypt says by "
                        "how much, and decrypt --size cuts the file back to its original size.")
        ->required();
    if (mode == cipherDecrypt) {
        options->sizeOption = command->add_option(
            "--size", options->size,
            "After decrypting, cut each file to N bytes: the size it had before encryption lengthened "
            "it (encrypt prints it). Refused when N is larger than a file.")
            ->check(decimalNumber);
    }
    command->add_option("files", options->files, "Files to transform in place")->required();
    command->callback([options, mode] { RunCrypt(*options, mode); });
}

}  // namespace

void AddCryptCommand(CLI::App& app)
{
    CLI::App* crypt = app.add_subcommand(
        "crypt",
        "Encrypt or decrypt one byte range of files in place, as CryptFile does during installation "
        "(format in docs/cipher.md). Every file is opened as CryptFile opens it before any is changed; "
        "a file whose range cannot be written whole (a full disk) is put back as it was, or reported "
        "DAMAGED when that fails.");
    crypt->require_subcommand(1);
    AddCryptMode(*crypt, "encrypt", cipherEncrypt,
                 "Encrypt the range of each file, as CryptFile does; says when a file was lengthened");
    AddCryptMode(*crypt, "decrypt", cipherDecrypt,
                 "Decrypt the range of each file: give the START and LENGTH used to encrypt it (a LENGTH of "
                 "-1 means the size now, which differs if encryption lengthened the file), and --size to "
                 "cut a lengthened file back to its original size");
}
