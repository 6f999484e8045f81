#include "manifest_report.h"

#include "host_entry.h"

#include "verify/file_iterator.h"
#include "verify/file_md5.h"

#include <string>

CManifestReport::CManifestReport(CFindDataFromMD5& manifest, std::ostream& output, bool stopAtFirst,
                                 CProgressBar& progressBar)
    : input(manifest), out(output), first(stopAtFirst), progress(progressBar)
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
    out << "changed  " << relativePath << "  ";
    if (fullPath.size() >= MAX_PATH) {
        out << "the path is longer than 259 characters, the check rejects the file unread\n";
        return FALSE;
    }
    out << "expected " << (row != nullptr ? row->md5 : "?") << "  found ";
    // Never opened when it is not a regular file: a FIFO would be waited on.
    if (const char* kind = NonRegularKindOf(fullPath)) {
        out << "nothing: " << kind << ", not a regular file (never read)\n";
        return FALSE;
    }
    const char* found = GetFileMD5(fullPath.c_str());
    out << (found != nullptr ? found : "nothing: the file cannot be opened (no permission, or open for writing elsewhere)")
        << '\n';
    return FALSE;
}

void CManifestReport::OnTrouble(Trouble kind, const char* relativePath, const char* name)
{
    ++troubles;
    progress.Finish();
    out << "error    " << relativePath;
    switch (kind) {
    case inputRefused:
        out << "  the manifest cannot be used; the check fails on it\n";
        break;
    case folderUnreadable:
        out << "  the folder cannot be read\n";
        break;
    case listingUnreadable:
        out << "  the manifest could not answer for this folder\n";
        break;
    case pathTooLong:
        out << name << "  the path is longer than 259 characters, the check fails on it\n";
        break;
    }
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
        out << "note     " << row.path << "  listed in the manifest, not on the disc (not a failure)\n";
    }
    return missing;
}
