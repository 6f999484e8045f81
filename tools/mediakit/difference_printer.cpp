#include "difference_printer.h"

#include "host_entry.h"

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

CDifferencePrinter::CDifferencePrinter(std::ostream& output, bool stopAtFirst, const std::string& treeRoot)
    : out(output), first(stopAtFirst), root(treeRoot)
{
}

std::string CDifferencePrinter::Describe(const char* relativePath, const WIN32_FIND_DATAA& entry,
                                         bool onDisk) const
{
    const char* kind = onDisk ? NonRegularKindOf(root + (relativePath + 1) + entry.cFileName) : nullptr;
    if (kind != nullptr) {
        return std::string(kind) + ", not a regular file: a disc cannot carry it";
    }
    return ::Describe(entry);
}

void CDifferencePrinter::OnDifference(Difference kind, const char* relativePath,
                                      const WIN32_FIND_DATAA* expected, const WIN32_FIND_DATAA* found)
{
    switch (kind) {
    case missingEntry:
        ++missing;
        out << "missing  " << PathOf(relativePath, *expected) << "  (" << Describe(relativePath, *expected, false) << ")\n";
        break;
    case extraEntry:
        ++extra;
        out << "extra    " << PathOf(relativePath, *found) << "  (" << Describe(relativePath, *found, true) << ")\n";
        break;
    case caseTwinEntry:
        ++extra;
        out << "extra    " << PathOf(relativePath, *found) << "  (" << Describe(relativePath, *found, true)
            << "; its name differs only in letter case from another entry here, which a disc cannot hold)\n";
        break;
    case changedEntry:
        ++changed;
        out << "changed  " << PathOf(relativePath, *found) << "  ";
        if (const char* kind = NonRegularKindOf(root + (relativePath + 1) + found->cFileName)) {
            out << "(" << kind << ", not a regular file: a disc cannot carry it)\n";
            break;
        }
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
        out << "  the listing is corrupt; the check fails on it\n";
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
