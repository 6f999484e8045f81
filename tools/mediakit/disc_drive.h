// A host folder seen as the root of a disc drive, the way the check sees the
// installation source. On POSIX hosts its paths begin "X:\", a drive of the
// port that is a CD-ROM when the folder is on a mounted disc, and a fixed
// disk otherwise; on Windows they begin with the folder's own full path.
#pragma once
#include <string>

class CDiscDrive {
public:
    // Throws std::runtime_error when hostFolder is not a readable folder.
    explicit CDiscDrive(const std::string& hostFolder);
    ~CDiscDrive();
    CDiscDrive(const CDiscDrive&) = delete;
    CDiscDrive& operator=(const CDiscDrive&) = delete;

    // "X:\" on POSIX hosts; on Windows the folder's full path, ending in "\"
    const std::string& Root() const { return root; }

private:
    std::string root;
};
