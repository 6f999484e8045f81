// Chooses the files of a tree by glob patterns. A pattern with a slash
// matches the whole path below the root ("Help/*.htm"; "*" stays inside one
// folder); one without matches the file name in any folder ("*.tmp"). Letter
// case is ignored, as on the disc.
#pragma once
#include <string>
#include <vector>

class CPathFilter {
public:
    // With no includes every file is chosen before the excludes apply.
    CPathFilter(std::vector<std::string> includes, std::vector<std::string> excludes);

    // relativePath uses '/' between folders and has no leading slash.
    bool Chooses(const std::string& relativePath) const;

private:
    static bool Matches(const std::string& pattern, const std::string& relativePath);

    std::vector<std::string> include;
    std::vector<std::string> exclude;
};
