#include "path_filter.h"

#ifdef _WIN32
#include <cctype>
#else
#include <fnmatch.h>
#endif

namespace {

#ifdef _WIN32
// Windows has no fnmatch; this is the part of it the filter uses (FNM_PATHNAME
// | FNM_CASEFOLD in the C locale): '*', '?', bracket sets with '!' or '^' and
// ranges, and '\' quoting the next character; no wildcard crosses a '/'.
char Folded(char c)
{
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// The set starting after '[' at p; false when it is not closed, and then '['
// is an ordinary character.
bool MatchSet(const char*& p, char c, bool& inSet)
{
    const char* q = p;
    bool negated = *q == '!' || *q == '^';
    q += negated ? 1 : 0;
    bool found = false;
    for (bool first = true; *q != '\0' && (first || *q != ']'); first = false) {
        char low = *q == '\\' && q[1] != '\0' ? *++q : *q;
        char high = low;
        if (q[1] == '-' && q[2] != ']' && q[2] != '\0') {
            q += 2;
            high = *q == '\\' && q[1] != '\0' ? *++q : *q;
        }
        ++q;
        char folded = Folded(c);
        found = found || (folded >= Folded(low) && folded <= Folded(high)) || (c >= low && c <= high);
    }
    if (*q != ']') {
        return false;
    }
    p = q + 1;
    inSet = c != '/' && found != negated;
    return true;
}

bool GlobMatches(const char* p, const char* s)
{
    for (; *p != '\0'; ++s) {
        if (*p == '*') {
            while (*p == '*') {
                ++p;
            }
            for (const char* rest = s;; ++rest) {
                if (GlobMatches(p, rest)) {
                    return true;
                }
                if (*rest == '\0' || *rest == '/') {
                    return false;
                }
            }
        }
        if (*s == '\0') {
            return false;
        }
        bool inSet = false;
        if (*p == '?') {
            if (*s == '/') {
                return false;
            }
            ++p;
        } else if (*p == '[') {
            const char* set = p + 1;
            if (MatchSet(set, *s, inSet)) {
                if (!inSet) {
                    return false;
                }
                p = set;
            } else if (*s != '[') {
                return false;
            } else {
                ++p;
            }
        } else {
            if (*p == '\\' && p[1] != '\0') {
                ++p;
            }
            if (Folded(*p) != Folded(*s)) {
                return false;
            }
            ++p;
        }
    }
    return *s == '\0';
}
#endif

}  // namespace

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
#ifdef _WIN32
    return GlobMatches(pattern.c_str(), subject.c_str());
#else
    return fnmatch(pattern.c_str(), subject.c_str(), FNM_PATHNAME | FNM_CASEFOLD) == 0;
#endif
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
