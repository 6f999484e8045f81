#include "file_iterator.h"

#include "folder_match.h"
#include "base/handle_owner.h"

#include "base/bounded_text.h"

#include <cstring>
#include <optional>

namespace {

// The path of a subfolder of folder, ending with a backslash; false when it
// would not fit, since a path cut at 259 characters names another folder.
bool ChildPath(const char* folder, const char* name, char (&path)[MAX_PATH])
{
    return CopyBounded(path, MAX_PATH, folder) == S_OK && AppendBounded(path, MAX_PATH, name) == S_OK &&
           AppendBounded(path, MAX_PATH, "\\") == S_OK;
}

}  // namespace

CFileIterator::CFileIterator()
{
    currentFolder[0] = '\0';
    relativePath[0] = '\0';
}

CFileIterator::~CFileIterator() = default;

BOOL CFileIterator::Walk(CFindDataInput* walkInput, const char* folder, const char* fmask,
                         int recursive)
{
    input = walkInput;
    // A root that does not fit would be cut into the name of another folder.
    if (CopyBounded(currentFolder, MAX_PATH, folder) != S_OK) {
        Trouble(CWalkObserver::pathTooLong, folder);
        input = nullptr;
        return FALSE;
    }
    CopyBounded(relativePath, MAX_PATH, "\\");
    if (!input->Begin(this)) {
        Trouble(CWalkObserver::inputRefused, "");
        input = nullptr;
        return FALSE;
    }
    Reset(fmask, recursive);
    BOOL result = WalkFolder(-1, folder);
    input->End();
    input = nullptr;
    return result;
}

void CFileIterator::Reset(const char* fmask, int recursive)
{
    recursiveFlag = recursive;
    folderIndex = -1;
    fileMask = fmask != nullptr && fmask[0] != '\0' ? fmask : "*.*";
}

BOOL CFileIterator::WalkFolder(LONG index, const char* folder)
{
    CFindDataArray folders;
    CFindDataArray files;
    CFindDataArray foldersReaded;
    CFindDataArray filesReaded;
    BOOL perEntry = input->IsPerEntry();
    // Read first so that the folder's entries on the disc, mostly as many,
    // are given room at once.
    BOOL listed = perEntry || input->GetFolder(index, foldersReaded, filesReaded);
    folders.reserve(foldersReaded.size());
    files.reserve(filesReaded.size());
    if (!Enumerate(folder, folders, files)) {
        return FALSE;
    }
    BOOL result = TRUE;
    std::optional<CFolderMatch> match;
    if (perEntry) {
        result = CheckEachEntry(folders, files);
    } else {
        BOOL atRoot = std::strcmp(relativePath, "\\") == 0;
        match.emplace(foldersReaded, filesReaded, folders, files, atRoot);
        if (!listed) {
            Trouble(CWalkObserver::listingUnreadable, "");
            result = FALSE;
        } else {
            result = match->Compare(observer, relativePath);
        }
    }
    if (!result && !KeepGoing()) {
        return FALSE;
    }
    if (recursiveFlag == 0 || folders.empty()) {
        return result;
    }
    for (size_t i = 0; i < folders.size(); ++i) {
        const WIN32_FIND_DATAA& element = folders[i];
        if (match) {
            folderIndex = match->FindListedFolder(i);
            if (folderIndex == -1) {
                // Told as an extra folder already when an observer listens.
                result = FALSE;
                if (!KeepGoing()) {
                    return FALSE;
                }
                continue;
            }
        }
        char nextFolder[MAX_PATH];
        size_t relativeLength = std::strlen(relativePath);
        // A path cut at 259 characters names another folder: it is never enumerated.
        if (!ChildPath(folder, element.cFileName, nextFolder) ||
            AppendBounded(relativePath, MAX_PATH, element.cFileName) != S_OK ||
            AppendBounded(relativePath, MAX_PATH, "\\") != S_OK) {
            relativePath[relativeLength] = '\0';
            Trouble(CWalkObserver::pathTooLong, element.cFileName);
            result = FALSE;
            if (!KeepGoing()) {
                return FALSE;
            }
            continue;
        }
        CopyBounded(currentFolder, MAX_PATH, nextFolder);
        LONG token = input->SavePosition();
        if (!WalkFolder(folderIndex, nextFolder)) {
            result = FALSE;
            if (!KeepGoing()) {
                return FALSE;
            }
        }
        input->RestorePosition(token);
        relativePath[relativeLength] = '\0';
    }
    return result;
}

BOOL CFileIterator::Enumerate(const char* folder, CFindDataArray& folders, CFindDataArray& files)
{
    char pattern[MAX_PATH];
    if (CopyBounded(pattern, MAX_PATH, folder) != S_OK ||
        AppendBounded(pattern, MAX_PATH, fileMask.c_str()) != S_OK) {
        Trouble(CWalkObserver::pathTooLong, fileMask.c_str());
        return FALSE;
    }
    WIN32_FIND_DATAA entry;
    std::memset(&entry, 0, sizeof(entry));
    CFindHandle search(FindFirstFileA(pattern, &entry));
    // A missing folder, and a drive root without any entry, fail the check.
    if (!search.IsOpen()) {
        Trouble(CWalkObserver::folderUnreadable, "");
        return FALSE;
    }
    do {
        if (std::strcmp(entry.cFileName, ".") == 0 || std::strcmp(entry.cFileName, "..") == 0) {
            continue;
        }
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            folders.push_back(entry);
        } else {
            files.push_back(entry);
        }
    } while (FindNextFileA(search.Get(), &entry));
    // Only "no more files" ends a folder; any other failure (a read error on
    // a scratched disc) leaves entries unseen, so the folder cannot pass.
    if (GetLastError() != ERROR_NO_MORE_FILES) {
        Trouble(CWalkObserver::folderUnreadable, "");
        return FALSE;
    }
    return TRUE;
}

BOOL CFileIterator::CheckEachEntry(const CFindDataArray& folders, const CFindDataArray& files)
{
    BOOL result = TRUE;
    for (const CFindDataArray* entries : {&folders, &files}) {
        for (const WIN32_FIND_DATAA& entry : *entries) {
            BOOL accepted = entries == &folders ? input->CheckFolder(entry) : input->CheckFile(entry);
            if (accepted) {
                continue;
            }
            if (observer != nullptr) {
                observer->OnDifference(CWalkObserver::changedEntry, relativePath, nullptr, &entry);
            }
            result = FALSE;
            if (!KeepGoing()) {
                return FALSE;
            }
        }
    }
    return result;
}

BOOL CFileIterator::KeepGoing() const
{
    return observer != nullptr && !observer->StopAtFirst();
}

void CFileIterator::Trouble(CWalkObserver::Trouble kind, const char* name)
{
    if (observer != nullptr) {
        observer->OnTrouble(kind, relativePath, name);
    }
}
