#include "path_filter.h"

#include <fnmatch.h>

CPathFilter::CPathFilter(std::vector<std::string> includes, std::vector<std::string> excludes)
    : include(std::move(includes)), exclude(std::move(excludes))
{
}

bool CPathFilter::Matches(const std::string& pattern, const std::string& relativePath)
{
    std::string subject = relativePath;
    if (pattern.find('/') == std::string::npos) {
        size_t slash = relativePath.rfind('/');
        subject = slash == std::string::npos ? relativePath : relativePath.substr(slash + 1);
    }
    return fnmatch(pattern.c_str(), subject.c_str(), FNM_PATHNAME | FNM_CASEFOLD) == 0;
}

bool CPathFilter::Chooses(const std::string& relativePath) const
{
    bool chosen = include.empty();
    for (const std::string& pattern : include) {
        chosen = chosen || Matches(pattern, relativePath);
    }
    for (const std::string& pattern : exclude) {
        chosen = chosen && !Matches(pattern, relativePath);
    }
    return chosen;
}
