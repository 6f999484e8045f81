#include "listing_dump.h"

#include "listing_format.h"

#include <cstring>
#include <ctime>
#include <iomanip>

namespace {

struct Level {
    std::string path;                  // relative path of the folder, "\" at the root
    std::vector<std::string> folders;  // names of its folder entries
    size_t next = 0;                   // the next subfolder record expected
};

std::string FormatTime(const FILETIME& time)
{
    uint64_t ticks = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    const uint64_t unixEpoch = 116444736000000000ull;
    if (ticks < unixEpoch) {
        return "before-1970";
    }
    time_t seconds = static_cast<time_t>((ticks - unixEpoch) / 10000000ull);
    std::tm parts {};
    if (gmtime_r(&seconds, &parts) == nullptr) {
        return "out-of-range";
    }
    char text[32];
    std::strftime(text, sizeof(text), "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

ListingDumpResult Broken(ListingDumpResult result, size_t offset, const std::string& reason)
{
    result.complete = false;
    result.brokenAt = offset;
    result.reason = reason;
    return result;
}

}  // namespace

ListingDumpResult DumpListing(const std::vector<uint8_t>& data, const CCodePageText& codePage,
                              std::ostream& out)
{
    ListingDumpResult result;
    std::vector<Level> stack;
    size_t offset = 0;
    for (;;) {
        // The record expected next: the root first, then the next subfolder of
        // the deepest folder that still has one.
        while (!stack.empty() && stack.back().next == stack.back().folders.size()) {
            stack.pop_back();
        }
        if (result.folderRecords != 0 && stack.empty()) {
            break;
        }
        int32_t wantedIndex = stack.empty() ? -1 : static_cast<int32_t>(stack.back().next);
        std::string path = stack.empty() ? "\\" : stack.back().path + stack.back().folders[stack.back().next] + "\\";
        if (!stack.empty()) {
            ++stack.back().next;
        }
        if (data.size() - offset < listingHeaderSize) {
            return Broken(result, offset, "the header of " + path + " is cut short");
        }
        int32_t index = ReadInt32At(data, offset);
        int32_t folderCount = ReadInt32At(data, offset + 4);
        int32_t fileCount = ReadInt32At(data, offset + 8);
        if (index != wantedIndex) {
            return Broken(result, offset, "the record of " + path + " carries index " +
                                              std::to_string(index) + ", expected " +
                                              std::to_string(wantedIndex));
        }
        if (folderCount < 0 || fileCount < 0) {
            return Broken(result, offset, "the record of " + path + " has a negative count");
        }
        offset += listingHeaderSize;
        ++result.folderRecords;
        Level level{path, {}, 0};
        for (int64_t i = 0; i < int64_t(folderCount) + fileCount; ++i) {
            bool isFolder = i < folderCount;
            if (data.size() - offset < listingEntrySize) {
                return Broken(result, offset, "an entry record of " + path + " is cut short");
            }
            WIN32_FIND_DATAA entry;
            std::memcpy(&entry, data.data() + offset, sizeof(entry));
            if (std::memchr(entry.cFileName, '\0', sizeof(entry.cFileName)) == nullptr) {
                return Broken(result, offset + offsetof(WIN32_FIND_DATAA, cFileName),
                              "an entry name of " + path + " has no terminator");
            }
            std::string name;
            if (!codePage.FromAnsi(entry.cFileName, name)) {
                name = entry.cFileName;  // shown as stored when the code page does not fit
            }
            out << path << name << (isFolder ? "\\" : "") << '\t' << (isFolder ? "folder" : "file")
                << '\t' << entry.nFileSizeLow << "\t0x" << std::hex << std::setw(2)
                << std::setfill('0') << entry.dwFileAttributes << std::dec << std::setfill(' ')
                << '\t' << FormatTime(entry.ftLastWriteTime) << '\n';
            if (isFolder) {
                level.folders.push_back(name);
                ++result.folders;
            } else {
                ++result.files;
            }
            offset += listingEntrySize;
        }
        stack.push_back(level);
    }
    if (offset != data.size()) {
        return Broken(result, offset, "data follows the last folder record");
    }
    result.complete = true;
    return result;
}
