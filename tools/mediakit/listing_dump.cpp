#include "listing_dump.h"

#include "verify/listing_structure.h"
#include "verify/mem_reader.h"

#include <ctime>
#include <iomanip>
#include <strings.h>

namespace {

// A path is shown whole up to the longest the check can walk; beyond that
// only its end, so that every line stays short and the output grows with the
// listing, not with the depth of its folders.
const size_t longestShownPath = 259;

std::string FormatTime(const FILETIME& time)
{
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const uint64_t unixEpoch = 116444736000000000ull;
    if (ticks < unixEpoch) {
        return "before-1970";
    }
    time_t seconds = static_cast<time_t>((ticks - unixEpoch) / 10000000ull);
    std::tm parts {};
#ifdef _WIN32
    bool converted = gmtime_s(&parts, &seconds) == 0;
#else
    bool converted = gmtime_r(&seconds, &parts) != nullptr;
#endif
    if (!converted) {
        return "out-of-range";
    }
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

// "\...\" and the end of the path from a folder boundary (or at least a
// character boundary of the UTF-8 text) on.
std::string Shortened(const std::string& path)
{
    if (path.size() <= longestShownPath) {
        return path;
    }
    const std::string elision = "\\...";
    size_t from = path.size() - (longestShownPath - elision.size());
    size_t boundary = path.find('\\', from);
    if (boundary != std::string::npos && boundary + 1 < path.size()) {
        from = boundary;
    } else {
        while (from < path.size() && (static_cast<unsigned char>(path[from]) & 0xC0) == 0x80) {
            ++from;
        }
    }
    return elision + (path[from] == '\\' ? "" : "\\") + path.substr(from);
}

class CListingPrinter : public CListingVisitor {
public:
    CListingPrinter(const CCodePageText& text, std::ostream& output, ListingDumpResult& counts)
        : codePage(text), out(output), result(counts)
    {
    }

    void OnFolder(DWORD depth) override
    {
        std::string path = "\\";
        if (depth != 0) {
            Level& parent = levels[depth - 1];
            path = Shortened(parent.path + parent.folders[parent.next++] + "\\");
        }
        levels.resize(depth);
        levels.push_back(Level{path, {}, 0});
        ++result.folderRecords;
    }

    void OnEntry(const WIN32_FIND_DATAA& entry, BOOL isFolder) override
    {
        std::string name;
        if (!codePage.FromAnsi(entry.cFileName, name)) {
            name = entry.cFileName;  // shown as stored when the code page does not fit
        }
        Level& level = levels.back();
        out << Shortened(level.path + name + (isFolder ? "\\" : "")) << '\t'
            << (isFolder ? "folder" : "file") << '\t' << entry.nFileSizeLow << "\t0x" << std::hex
            << std::setw(2) << std::setfill('0') << entry.dwFileAttributes << std::dec
            << std::setfill(' ') << '\t' << FormatTime(entry.ftLastWriteTime) << '\n';
        // Only the root's setup.msi is the package, compared by name alone.
        if (!isFolder && levels.size() == 1 && strcasecmp(entry.cFileName, "setup.msi") == 0) {
            out << "# \\" << name << ": the package; the check compares it by name only\n";
        }
        if (isFolder) {
            level.folders.push_back(name);
            ++result.folders;
        } else {
            ++result.files;
        }
    }

private:
    struct Level {
        std::string path;                  // "\" at the root, at most about 260 characters
        std::vector<std::string> folders;  // names of its folder entries
        size_t next;                       // the next subfolder record expected
    };

    const CCodePageText& codePage;
    std::ostream& out;
    ListingDumpResult& result;
    std::vector<Level> levels;
};

}  // namespace

ListingDumpResult DumpListing(const std::vector<uint8_t>& data, const CCodePageText& codePage,
                              std::ostream& out)
{
    ListingDumpResult result;
    CMemReader reader(static_cast<LPCSTR>(nullptr));
    reader.ViewData(data.data(), static_cast<DWORD>(data.size()));
    CListingPrinter printer(codePage, out, result);
    ListingCheck check = CheckListingStructure(reader, &printer);
    result.complete = check.fault == listingWhole;
    result.brokenAt = check.offset;
    result.reason = result.complete ? "" : DescribeListingFault(check.fault);
    return result;
}
