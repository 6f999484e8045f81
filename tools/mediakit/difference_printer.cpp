#include "difference_printer.h"

#include "host_entry.h"

#include <iomanip>
#include <sstream>

namespace {

const char check[] = "listing";

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

nlohmann::ordered_json EntryRecord(const WIN32_FIND_DATAA& entry)
{
    if (IsFolder(entry)) {
        return {{"type", "folder"}, {"attributes", entry.dwFileAttributes}};
    }
    return {{"type", "file"}, {"size", entry.nFileSizeLow}, {"attributes", entry.dwFileAttributes}};
}

std::string PathOf(const char* relativePath, const WIN32_FIND_DATAA& entry)
{
    return std::string(relativePath) + entry.cFileName + (IsFolder(entry) ? "\\" : "");
}

}  // namespace

CDifferencePrinter::CDifferencePrinter(CFindingWriter& findingWriter, bool stopAtFirst,
                                       const std::string& treeRoot)
    : writer(findingWriter), first(stopAtFirst), root(treeRoot)
{
}

std::string CDifferencePrinter::Describe(const char* relativePath, const WIN32_FIND_DATAA& entry,
                                         bool onDisk, nlohmann::ordered_json& record) const
{
    record[onDisk ? "found" : "expected"] = EntryRecord(entry);
    const char* kind = onDisk ? NonRegularKindOf(root + (relativePath + 1) + entry.cFileName) : nullptr;
    if (kind != nullptr) {
        record["not_regular"] = kind;
        return std::string(kind) + ", not a regular file: a disc cannot carry it";
    }
    return ::Describe(entry);
}

void CDifferencePrinter::OnDifference(Difference kind, const char* relativePath,
                                      const WIN32_FIND_DATAA* expected, const WIN32_FIND_DATAA* found)
{
    const WIN32_FIND_DATAA& entry = kind == missingEntry ? *expected : *found;
    std::string path = PathOf(relativePath, entry);
    nlohmann::ordered_json record;
    std::ostringstream line;
    switch (kind) {
    case missingEntry:
        ++missing;
        record = CFindingWriter::Record("missing", check, path);
        line << "missing  " << path << "  (" << Describe(relativePath, entry, false, record) << ")";
        break;
    case extraEntry:
        ++extra;
        record = CFindingWriter::Record("extra", check, path);
        line << "extra    " << path << "  (" << Describe(relativePath, entry, true, record) << ")";
        break;
    case caseTwinEntry:
        ++extra;
        record = CFindingWriter::Record("extra", check, path);
        record["case_twin"] = true;
        line << "extra    " << path << "  (" << Describe(relativePath, entry, true, record)
             << "; its name differs only in letter case from another entry here, which a disc cannot hold)";
        break;
    case changedEntry:
        ++changed;
        record = CFindingWriter::Record("changed", check, path);
        record["expected"] = expected != nullptr ? EntryRecord(*expected) : nlohmann::ordered_json();
        record["found"] = EntryRecord(*found);
        line << "changed  " << path << "  ";
        if (const char* hostKind = NonRegularKindOf(root + (relativePath + 1) + found->cFileName)) {
            record["not_regular"] = hostKind;
            line << "(" << hostKind << ", not a regular file: a disc cannot carry it)";
        } else if (expected == nullptr) {
            line << "(rejected by the input)";
        } else {
            if (expected->nFileSizeLow != found->nFileSizeLow) {
                line << "size " << expected->nFileSizeLow << " -> " << found->nFileSizeLow << "  ";
            }
            if (expected->dwFileAttributes != found->dwFileAttributes) {
                line << std::hex << "attributes 0x" << std::setw(2) << std::setfill('0')
                     << expected->dwFileAttributes << " -> 0x" << std::setw(2) << found->dwFileAttributes;
            }
        }
        break;
    }
    writer.Tell(line.str(), record);
}

void CDifferencePrinter::OnTrouble(Trouble kind, const char* relativePath, const char* name)
{
    ++troubles;
    if (kind == inputRefused) {
        return;  // a corrupt listing: verify tells the byte where it breaks
    }
    TellTrouble(writer, check, kind, relativePath, name, "the listing is corrupt; the check fails on it",
                "the listing has no readable record for this folder (corrupt or truncated)");
}
