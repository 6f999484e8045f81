// Tells each difference of a walk on one line: missing, extra or changed,
// with the entry's path; counts them for the summary.
#pragma once
#include "verify/walk_observer.h"

#include <ostream>
#include <string>

class CDifferencePrinter : public CWalkObserver {
public:
    // root names the tree ("X:\\"), so that entries on disk that are not
    // regular files can be told as what they are.
    CDifferencePrinter(std::ostream& output, bool stopAtFirst, const std::string& root);
    ~CDifferencePrinter() = default;

    void OnDifference(Difference kind, const char* relativePath, const WIN32_FIND_DATAA* expected,
                      const WIN32_FIND_DATAA* found) override;
    void OnTrouble(Trouble kind, const char* relativePath, const char* name) override;
    BOOL StopAtFirst() override { return first ? TRUE : FALSE; }

    unsigned missing = 0;
    unsigned extra = 0;
    unsigned changed = 0;
    unsigned troubles = 0;

private:
    std::string Describe(const char* relativePath, const WIN32_FIND_DATAA& entry, bool onDisk) const;

    std::ostream& out;
    bool first;
    std::string root;
};
