// A fresh folder for one test, removed with everything in it afterwards.
#pragma once
#include <string>

class CScratchFolder {
public:
    CScratchFolder();
    ~CScratchFolder();
    CScratchFolder(const CScratchFolder&) = delete;
    CScratchFolder& operator=(const CScratchFolder&) = delete;

    // The folder as the system's code names it, ending in a separator.
    const std::string& Path() const { return path; }
    // Writes a file below the folder (relative name with '/' separators) and
    // returns its full path.
    std::string Write(const std::string& relativeName, const std::string& content) const;
    std::string Read(const std::string& relativeName) const;

private:
    std::string path;
};
