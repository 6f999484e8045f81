#include "manifest_report.h"

#include "host_entry.h"

#include "verify/file_iterator.h"
#include "verify/file_md5.h"

#include <string>

namespace {

const char check[] = "manifest";

}  // namespace

CManifestReport::CManifestReport(CFindDataFromMD5& manifest, CFindingWriter& findingWriter,
                                 bool stopAtFirst, CProgressBar& progressBar)
    : input(manifest), writer(findingWriter), first(stopAtFirst), progress(progressBar)
{
}

const CWrapPathMD5* CManifestReport::Row(const std::string& relativePath) const
{
    return input.Find(relativePath.c_str());
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
    std::string fullPath = std::string(iterator->GetCurrentFolder()) + entry.cFileName;
    const CWrapPathMD5* row = Row(relativePath);
    BOOL accepted = input.CheckFile(entry);
    if (row != nullptr) {
        met.insert(row);
        ++checked;
        progress.Advance((static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow, relativePath);
    }
    if (accepted) {
        return TRUE;
    }
    ++changed;
    progress.Finish();
    nlohmann::ordered_json record = CFindingWriter::Record("changed", check, relativePath);
    record["expected_md5"] = row != nullptr ? nlohmann::ordered_json(row->md5) : nlohmann::ordered_json();
    record["found_md5"] = nullptr;
    std::string line = "changed  " + relativePath + "  ";
    std::string reason;
    if (fullPath.size() >= MAX_PATH) {
        reason = "the path is longer than 259 characters, the check rejects the file unread";
        line += reason;
    } else {
        // Never opened when it is not a regular file: a FIFO would be waited on.
        const char* kind = NonRegularKindOf(fullPath);
        const char* found = kind == nullptr ? GetFileMD5(fullPath.c_str()) : nullptr;
        if (found != nullptr) {
            record["found_md5"] = found;
        } else {
            reason = kind != nullptr ? std::string(kind) + ", not a regular file (never read)"
                                     : "the file cannot be opened (no permission, or open for writing elsewhere)";
        }
        line += "expected " + std::string(row != nullptr ? row->md5 : "?") + "  found " +
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
    unsigned missing = 0;
    for (const CWrapPathMD5& row : input.Items()) {
        // A later row with the same path never decides, so it is not told.
        if (Row(row.path) != &row || met.count(&row) != 0) {
            continue;
        }
        ++missing;
        nlohmann::ordered_json record = CFindingWriter::Record("note", check, row.path);
        record["reason"] = "listed in the manifest, not on the disc";
        writer.Tell("note     " + std::string(row.path) + "  listed in the manifest, not on the disc (not a failure)", record);
    }
    return missing;
}
