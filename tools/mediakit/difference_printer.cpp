#include "difference_printer.h"

#include <iomanip>
#include <sstream>

namespace {

bool IsFolder(const WIN32_FIND_DATAA& entry)
{
    return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string Describe(const WIN32_FIND_DATAA& entry)
{
    std::ostringstream text;
    if (IsFolder(entry)) {
        text << "folder";
    } else {
        text << "file, " << entry.nFileSizeLow << " bytes";
    }
    text << ", attributes 0x" << std::hex << std::setw(2) << std::setfill('0') << entry.dwFileAttributes;
    return text.str();
}

std::string PathOf(const char* relativePath, const WIN32_FIND_DATAA& entry)
{
    return std::string(relativePath) + entry.cFileName + (IsFolder(entry) ? "\\" : "");
}

}  // namespace

CDifferencePrinter::CDifferencePrinter(std::ostream& output, bool stopAtFirst)
    : out(output), first(stopAtFirst)
{
}

void CDifferencePrinter::OnDifference(Difference kind, const char* relativePath,
                                      const WIN32_FIND_DATAA* expected, const WIN32_FIND_DATAA* found)
{
    switch (kind) {
    case missingEntry:
        ++missing;
        out << "missing  " << PathOf(relativePath, *expected) << "  (" << Describe(*expected) << ")\n";
        break;
    case extraEntry:
        ++extra;
        out << "extra    " << PathOf(relativePath, *found) << "  (" << Describe(*found) << ")\n";
        break;
    case changedEntry:
        ++changed;
        out << "changed  " << PathOf(relativePath, *found) << "  ";
        if (expected == nullptr) {
            out << "(rejected by the input)\n";
            break;
        }
        if (expected->nFileSizeLow != found->nFileSizeLow) {
            out << "size " << expected->nFileSizeLow << " -> " << found->nFileSizeLow << "  ";
        }
        if (expected->dwFileAttributes != found->dwFileAttributes) {
            out << std::hex << "attributes 0x" << std::setw(2) << std::setfill('0')
                << expected->dwFileAttributes << " -> 0x" << std::setw(2) << found->dwFileAttributes
                << std::dec << std::setfill(' ');
        }
        out << '\n';
        break;
    }
}

void CDifferencePrinter::OnTrouble(Trouble kind, const char* relativePath, const char* name)
{
    ++troubles;
    out << "error    " << relativePath;
    switch (kind) {
    case inputRefused:
        out << "  the listing refused the walk\n";
        break;
    case folderUnreadable:
        out << "  the folder cannot be read\n";
        break;
    case listingUnreadable:
        out << "  the listing has no readable record for this folder (corrupt or truncated)\n";
        break;
    case pathTooLong:
        out << name << "  the path is longer than 259 characters, the check fails on it\n";
        break;
    }
}
