// A host folder seen as the root of a disc drive, the way the check sees the
// installation source: its paths begin "X:\". The drive is a CD-ROM when the
// folder is on a mounted disc, and a fixed disk otherwise.
#pragma once
#include <string>

class CDiscDrive {
public:
    // Throws std::runtime_error when hostFolder is not a readable folder.
    explicit CDiscDrive(const std::string& hostFolder);
    ~CDiscDrive();
    CDiscDrive(const CDiscDrive&) = delete;
    CDiscDrive& operator=(const CDiscDrive&) = delete;

    // "X:\"
    const std::string& Root() const { return root; }

private:
    std::string root;
};
