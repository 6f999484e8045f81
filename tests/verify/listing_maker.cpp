#include "listing_maker.h"

#include <cstring>

namespace {

void AppendInt(std::vector<uint8_t>& out, int32_t value)
{
    uint32_t raw = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<uint8_t>(raw >> shift));
    }
}

void AppendFolderRecord(std::vector<uint8_t>& out, int32_t index,
                        const std::vector<ListedEntry>& children)
{
    std::vector<const ListedEntry*> folders;
    std::vector<const ListedEntry*> files;
    for (const ListedEntry& child : children) {
        (child.folder ? folders : files).push_back(&child);
    }
    AppendHeader(out, index, static_cast<int32_t>(folders.size()), static_cast<int32_t>(files.size()));
    for (const auto* list : {&folders, &files}) {
        for (const ListedEntry* entry : *list) {
            AppendRecord(out, MakeRecord(*entry));
        }
    }
    for (size_t k = 0; k < folders.size(); ++k) {
        AppendFolderRecord(out, static_cast<int32_t>(k), folders[k]->children);
    }
}

}  // namespace

ListedEntry Folder(const std::string& name, std::vector<ListedEntry> children, DWORD attributes)
{
    ListedEntry entry;
    entry.name = name;
    entry.folder = true;
    entry.attributes = attributes;
    entry.children = std::move(children);
    return entry;
}

ListedEntry File(const std::string& name, DWORD size, DWORD attributes)
{
    ListedEntry entry;
    entry.name = name;
    entry.size = size;
    entry.attributes = attributes;
    return entry;
}

WIN32_FIND_DATAA MakeRecord(const ListedEntry& entry)
{
    WIN32_FIND_DATAA record;
    std::memset(&record, 0, sizeof(record));
    record.dwFileAttributes = entry.attributes;
    record.nFileSizeLow = entry.size;
    // Times the check must ignore: none of them is that of a real tree.
    record.ftCreationTime = {1, 2};
    record.ftLastAccessTime = {3, 4};
    record.ftLastWriteTime = {5, 6};
    std::memcpy(record.cFileName, entry.name.c_str(), entry.name.size() + 1);
    return record;
}

std::vector<uint8_t> MakeListing(const std::vector<ListedEntry>& rootChildren)
{
    std::vector<uint8_t> out;
    AppendFolderRecord(out, -1, rootChildren);
    return out;
}

void AppendHeader(std::vector<uint8_t>& out, int32_t index, int32_t folders, int32_t files)
{
    AppendInt(out, index);
    AppendInt(out, folders);
    AppendInt(out, files);
}

void AppendRecord(std::vector<uint8_t>& out, const WIN32_FIND_DATAA& record)
{
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
    out.insert(out.end(), bytes, bytes + sizeof(record));
}
