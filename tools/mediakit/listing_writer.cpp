#include "listing_writer.h"

#include "host_entry.h"
#include "listing_format.h"

#include "base/handle_owner.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <strings.h>

namespace {

const DWORD discFolderAttributes = 0x31;  // folder, read-only, archive
const DWORD discFileAttributes = 0x21;    // read-only, archive

bool NameBefore(const WIN32_FIND_DATAA& a, const WIN32_FIND_DATAA& b)
{
    int folded = strcasecmp(a.cFileName, b.cFileName);
    return folded != 0 ? folded < 0 : std::strcmp(a.cFileName, b.cFileName) < 0;
}

class CListingBuilder {
public:
    CListingBuilder(const CCodePageText& text, const ListingOptions& listingOptions,
                    ListingCounts& listingCounts,
                    const std::function<void(const std::string&)>& onFolder)
        : codePage(text), options(listingOptions), counts(listingCounts), progress(onFolder)
    {
    }

    // Depth-first, pre-order: header, folder entries, file entries, then each
    // subfolder's record in the order of the folder entries.
    void WriteFolder(const std::string& folder, const std::string& relative, int32_t index)
    {
        if (progress) {
            progress(relative);
        }
        std::vector<WIN32_FIND_DATAA> folders;
        std::vector<WIN32_FIND_DATAA> files;
        Enumerate(folder, relative, folders, files);
        AppendInt32(out, index);
        AppendInt32(out, static_cast<int32_t>(folders.size()));
        AppendInt32(out, static_cast<int32_t>(files.size()));
        for (const auto* entries : {&folders, &files}) {
            for (const WIN32_FIND_DATAA& entry : *entries) {
                AppendRecord(entry, relative, entries == &folders);
            }
        }
        counts.folders += static_cast<unsigned>(folders.size());
        counts.files += static_cast<unsigned>(files.size());
        if (!options.recurse) {
            return;
        }
        for (size_t k = 0; k < folders.size(); ++k) {
            std::string name = folders[k].cFileName;
            WriteFolder(folder + name + "\\", relative + name + "\\", static_cast<int32_t>(k));
        }
    }

    std::vector<uint8_t> out;

private:
    void Enumerate(const std::string& folder, const std::string& relative,
                   std::vector<WIN32_FIND_DATAA>& folders, std::vector<WIN32_FIND_DATAA>& files)
    {
        WIN32_FIND_DATAA entry;
        std::memset(&entry, 0, sizeof(entry));
        std::string pattern = folder + "*.*";
        // The check never enumerates a path cut at 259 characters; neither do we.
        if (pattern.size() >= MAX_PATH) {
            throw std::runtime_error(relative + ": the path is too long for the check to walk");
        }
        CFindHandle search(FindFirstFileA(pattern.c_str(), &entry));
        if (!search.IsOpen()) {
            // Only a drive root lists nothing at all; a disc without entries has nothing to check.
            if (relative != "\\") {
                throw std::runtime_error(relative + ": cannot read the folder");
            }
            return;
        }
        do {
            if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) {
                continue;
            }
            bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (const char* kind = isFolder ? nullptr : NonRegularKindOf(folder + entry.cFileName)) {
                throw std::runtime_error(relative + entry.cFileName + ": " + kind +
                                         ", not a regular file: a disc cannot carry it");
            }
            (isFolder ? folders : files).push_back(entry);
        } while (FindNextFileA(search.Get(), &entry));
        if (GetLastError() != ERROR_NO_MORE_FILES) {
            throw std::runtime_error(relative + ": the folder could not be read to its end");
        }
        std::sort(folders.begin(), folders.end(), NameBefore);
        std::sort(files.begin(), files.end(), NameBefore);
    }

    void AppendRecord(const WIN32_FIND_DATAA& found, const std::string& relative, bool isFolder)
    {
        WIN32_FIND_DATAA record;
        std::memset(&record, 0, sizeof(record));
        std::string ansi;
        if (!codePage.ToAnsi(found.cFileName, ansi)) {
            throw std::runtime_error(relative + found.cFileName + ": the name cannot be written in code page " +
                                     std::to_string(codePage.CodePage()));
        }
        if (ansi.size() >= sizeof(record.cFileName) || ansi.find('\0') != std::string::npos) {
            throw std::runtime_error(relative + found.cFileName + ": the name is too long for a listing");
        }
        std::memcpy(record.cFileName, ansi.data(), ansi.size());
        record.dwFileAttributes =
            options.disc ? (isFolder ? discFolderAttributes : discFileAttributes) : found.dwFileAttributes;
        // Modification time in all three: access times would make every listing differ.
        record.ftCreationTime = found.ftLastWriteTime;
        record.ftLastAccessTime = found.ftLastWriteTime;
        record.ftLastWriteTime = found.ftLastWriteTime;
        if (!isFolder) {
            record.nFileSizeHigh = found.nFileSizeHigh;
            record.nFileSizeLow = found.nFileSizeLow;
        }
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
        out.insert(out.end(), bytes, bytes + sizeof(record));
    }

    const CCodePageText& codePage;
    const ListingOptions& options;
    ListingCounts& counts;
    const std::function<void(const std::string&)>& progress;
};

}  // namespace

std::vector<uint8_t> BuildListing(const std::string& root, const CCodePageText& codePage,
                                  const ListingOptions& options, ListingCounts& counts,
                                  const std::function<void(const std::string&)>& progress)
{
    CListingBuilder builder(codePage, options, counts, progress);
    builder.WriteFolder(root, "\\", -1);
    return std::move(builder.out);
}
