#include "manifest_report.h"

#include "host_entry.h"

#include "verify/file_iterator.h"

#include <string>

namespace {

const char check[] = "manifest";

}  // namespace

CManifestReport::CManifestReport(CFindDataFromMD5& manifest, CFindingWriter& findingWriter,
                                 bool stopAtFirst, CProgressBar& progressBar)
    : input(manifest), writer(findingWriter), first(stopAtFirst), progress(progressBar), met(manifest.RowCount())
{
}

bool CManifestReport::Lists(const std::string& relativePath) const
{
    return input.Find(relativePath.c_str()) >= 0;
}

BOOL CManifestReport::Begin(CFileIterator* walker)
{
    iterator = walker;
    return input.Begin(walker);
}

void CManifestReport::End()
{
    input.End();
    iterator = nullptr;
}

BOOL CManifestReport::GetFolder(LONG index, CFindDataArray& foldersReaded, CFindDataArray& filesReaded)
{
    return input.GetFolder(index, foldersReaded, filesReaded);
}

BOOL CManifestReport::CheckFile(const WIN32_FIND_DATAA& entry)
{
    std::string relativePath = std::string(iterator->GetRelativePath()) + entry.cFileName;
    BOOL accepted = input.CheckFile(entry);
    LONG rowNumber = input.LastRow();
    const char* expected = rowNumber >= 0 ? input.Item(static_cast<DWORD>(rowNumber)).md5 : nullptr;
    if (expected != nullptr) {
        met[static_cast<size_t>(rowNumber)] = true;
        ++checked;
        progress.Advance((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow, relativePath);
    }
    if (accepted) {
        return TRUE;
    }
    ++changed;
    progress.Finish();
    std::string fullPath = std::string(iterator->GetCurrentFolder()) + entry.cFileName;
    nlohmann::ordered_json record = CFindingWriter::Record("changed", check, relativePath);
    record["expected_md5"] = expected != nullptr ? nlohmann::ordered_json(expected) : nlohmann::ordered_json();
    record["found_md5"] = nullptr;
    std::string line = "changed  " + relativePath + "  ";
    std::string reason;
    if (fullPath.size() >= MAX_PATH) {
        reason = "the path is longer than 259 characters, the check rejects the file unread";
        line += reason;
    } else {
        // The digest the check itself found: the file is read once. One that is
        // not a regular file was never opened (a FIFO would be waited on).
        const char* kind = NonRegularKindOf(fullPath);
        const char* found = kind == nullptr ? input.LastDigest() : nullptr;
        if (found != nullptr) {
            record["found_md5"] = found;
        } else {
            reason = kind != nullptr ? std::string(kind) + ", not a regular file (never read)"
                                     : "the file cannot be opened (no permission, or open for writing elsewhere)";
        }
        line += "expected " + std::string(expected != nullptr ? expected : "?") + "  found " +
                (found != nullptr ? std::string(found) : "nothing: " + reason);
    }
    if (!reason.empty()) {
        record["reason"] = reason;
    }
    writer.Tell(line, record);
    return FALSE;
}

void CManifestReport::OnTrouble(Trouble kind, const char* relativePath, const char* name)
{
    ++troubles;
    progress.Finish();
    TellTrouble(writer, check, kind, relativePath, name, "the manifest cannot be used; the check fails on it",
                "the manifest could not answer for this folder");
}

unsigned CManifestReport::TellMissing()
{
    // A later row with the same path never decides, so it is not told. Rows
    // of one path stand together in path order, the deciding one first.
    std::vector<bool> decides(input.RowCount());
    const char* previous = nullptr;
    for (DWORD position = 0; position < input.RowCount(); ++position) {
        DWORD row = input.RowInPathOrder(position);
        const char* path = input.Item(row).path;
        decides[row] = previous == nullptr || CompareNames(previous, path) != 0;
        previous = path;
    }
    unsigned missing = 0;
    for (DWORD row = 0; row < input.RowCount(); ++row) {
        if (!decides[row] || met[row]) {
            continue;
        }
        const char* path = input.Item(row).path;
        ++missing;
        writer.Tell(
            "note", [path] { return "note     " + std::string(path) + "  listed in the manifest, not on the disc (not a failure)"; },
            [path] {
                nlohmann::ordered_json record = CFindingWriter::Record("note", check, path);
                record["reason"] = "listed in the manifest, not on the disc";
                return record;
            });
    }
    return missing;
}
