#include "tree_files.h"

#include "verify/file_iterator.h"

#include <stdexcept>

namespace {

// Accepts every entry and notes each file; a per-entry input, like the
// manifest's, so that paths come out exactly as the check builds them.
class CFileCollector : public CFindDataInput, public CWalkObserver {
public:
    BOOL Begin(CFileIterator* walker) override
    {
        iterator = walker;
        return TRUE;
    }
    void End() override { iterator = nullptr; }
    BOOL GetFolder(LONG, CFindDataArray&, CFindDataArray&) override { return TRUE; }
    LONG SavePosition() override { return 0; }
    void RestorePosition(LONG) override {}
    BOOL CheckFolder(const WIN32_FIND_DATAA&) override { return TRUE; }
    BOOL IsPerEntry() override { return TRUE; }

    BOOL CheckFile(const WIN32_FIND_DATAA& entry) override
    {
        TreeFile file;
        file.relativePath = std::string(iterator->GetRelativePath()) + entry.cFileName;
        file.fullPath = std::string(iterator->GetCurrentFolder()) + entry.cFileName;
        file.size = (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        if (file.fullPath.size() >= MAX_PATH) {
            Fail(file.relativePath + ": the path is longer than 259 characters; the check rejects it");
        }
        files.push_back(file);
        return TRUE;
    }

    void OnDifference(Difference, const char*, const WIN32_FIND_DATAA*, const WIN32_FIND_DATAA*) override {}
    void OnTrouble(Trouble kind, const char* relativePath, const char* name) override
    {
        if (kind == pathTooLong) {
            Fail(std::string(relativePath) + name + ": the path is longer than 259 characters; the check rejects it");
        }
        Fail(std::string(relativePath) + ": the folder cannot be read, or it is an empty drive root (the check fails on it)");
    }
    BOOL StopAtFirst() override { return TRUE; }

    std::vector<TreeFile> files;
    std::string problem;

private:
    void Fail(const std::string& message)
    {
        if (problem.empty()) {
            problem = message;
        }
    }

    CFileIterator* iterator = nullptr;
};

}  // namespace

std::vector<TreeFile> CollectTreeFiles(const std::string& root)
{
    CFileCollector collector;
    CFileIterator iterator;
    iterator.SetObserver(&collector);
    BOOL walked = iterator.Walk(&collector, root.c_str(), "*.*", 1);
    if (!collector.problem.empty()) {
        throw std::runtime_error(collector.problem);
    }
    if (!walked) {
        throw std::runtime_error(root + ": the tree cannot be read");
    }
    return collector.files;
}
