// The indexed folder match against the pairwise search it replaced, kept here
// as the reference: on many generated folders both must give the same
// verdict, the same differences in the same order naming the same entries,
// and the same listed folder for each folder found.
#include "listing_maker.h"

#include "verify/name_identity.h"
#include "verify/folder_match.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

struct CFolderCase {
    CFindDataArray foldersReaded;
    CFindDataArray filesReaded;
    CFindDataArray folders;
    CFindDataArray files;
};

// Tells each difference as its kind and the positions of the entries named,
// so that two equal-named entries are told apart.
class CRecordingObserver : public CWalkObserver {
public:
    CRecordingObserver(const CFolderCase& folder, BOOL first) : folder(folder), first(first) {}

    void OnDifference(Difference kind, const char* relativePath, const WIN32_FIND_DATAA* expected,
                      const WIN32_FIND_DATAA* found) override
    {
        told += std::to_string(kind) + relativePath + Where(expected, folder.foldersReaded, folder.filesReaded) +
                Where(found, folder.folders, folder.files) + ";";
    }
    void OnTrouble(Trouble kind, const char*, const char*) override { told += "trouble " + std::to_string(kind); }
    BOOL StopAtFirst() override { return first; }

    std::string told;

private:
    static std::string Where(const WIN32_FIND_DATAA* entry, const CFindDataArray& folders,
                             const CFindDataArray& files)
    {
        for (const CFindDataArray* list : {&folders, &files}) {
            for (size_t i = 0; i < list->size(); ++i) {
                if (entry == &(*list)[i]) {
                    return (list == &folders ? " d" : " f") + std::to_string(i);
                }
            }
        }
        return entry == nullptr ? " -" : " ?";
    }

    const CFolderCase& folder;
    BOOL first;
};

// The pairwise search, as the walk compared a folder before the index.
int ReferenceDifferences(CWalkObserver& observer, const CFindDataArray& expected, const CFindDataArray& found,
                         const CFindDataCompare& matcher, BOOL stopAtFirst)
{
    const CFindDataCompare byName = {TRUE, TRUE, TRUE, TRUE, TRUE, FALSE};
    int reported = 0;
    for (const WIN32_FIND_DATAA& entry : expected) {
        if (matcher.Find(found, entry) != -1) {
            continue;
        }
        LONG sameName = byName.Find(found, entry);
        if (sameName == -1) {
            observer.OnDifference(CWalkObserver::missingEntry, "\\", &entry, nullptr);
        } else {
            observer.OnDifference(CWalkObserver::changedEntry, "\\", &entry, &found[static_cast<size_t>(sameName)]);
        }
        ++reported;
        if (stopAtFirst) {
            return reported;
        }
    }
    for (const WIN32_FIND_DATAA& entry : found) {
        if (matcher.Find(expected, entry) != -1) {
            continue;
        }
        LONG sameName = byName.Find(expected, entry);
        if (sameName != -1 && matcher.Find(found, expected[static_cast<size_t>(sameName)]) == -1) {
            continue;
        }
        observer.OnDifference(CWalkObserver::extraEntry, "\\", nullptr, &entry);
        ++reported;
        if (stopAtFirst) {
            return reported;
        }
    }
    return reported;
}

BOOL ReferenceCovers(const CFindDataCompare& matcher, const CFindDataArray& a, const CFindDataArray& b)
{
    for (const WIN32_FIND_DATAA& entry : a) {
        if (matcher.Find(b, entry) == -1) {
            return FALSE;
        }
    }
    return TRUE;
}

// Pair by pair: of each group of entries with the same name, the first one
// the expected list carries exactly stays, or else the first found.
std::vector<size_t> ReferenceCaseTwins(const CFindDataArray& found, const CFindDataArray& expected)
{
    auto listedExactly = [&expected](const WIN32_FIND_DATAA& entry) {
        for (const WIN32_FIND_DATAA& listed : expected) {
            if (std::strcmp(listed.cFileName, entry.cFileName) == 0) {
                return true;
            }
        }
        return false;
    };
    std::vector<size_t> twins;
    for (size_t i = 0; i < found.size(); ++i) {
        size_t first = i;
        size_t exact = found.size();
        for (size_t j = found.size(); j-- > 0;) {
            if (CompareNames(found[i].cFileName, found[j].cFileName) == 0) {
                first = j;
                exact = listedExactly(found[j]) ? j : exact;
            }
        }
        if ((exact != found.size() ? exact : first) != i) {
            twins.push_back(i);
        }
    }
    return twins;
}

BOOL ReferenceCompare(const CFolderCase& c, CWalkObserver* observer, const CFindDataCompare& fileMatcher)
{
    if (observer == nullptr) {
        return ReferenceCovers(cmpFolders, c.foldersReaded, c.folders) &&
               ReferenceCovers(cmpFolders, c.folders, c.foldersReaded) &&
               ReferenceCovers(fileMatcher, c.filesReaded, c.files) &&
               ReferenceCovers(fileMatcher, c.files, c.filesReaded) &&
               ReferenceCaseTwins(c.folders, c.foldersReaded).empty() && ReferenceCaseTwins(c.files, c.filesReaded).empty();
    }
    BOOL first = observer->StopAtFirst();
    int differences = 0;
    for (int kind = 0; kind < 2 && (differences == 0 || !first); ++kind) {
        const CFindDataArray& expected = kind == 0 ? c.foldersReaded : c.filesReaded;
        const CFindDataArray& found = kind == 0 ? c.folders : c.files;
        const CFindDataCompare& matcher = kind == 0 ? cmpFolders : fileMatcher;
        differences += ReferenceDifferences(*observer, expected, found, matcher, first);
        for (size_t twin : ReferenceCaseTwins(found, expected)) {
            if ((differences != 0 && first) || matcher.Find(expected, found[twin]) == -1) {
                continue;
            }
            observer->OnDifference(CWalkObserver::caseTwinEntry, "\\", nullptr, &found[twin]);
            ++differences;
        }
    }
    return differences == 0;
}

// Everything the walk learns from one folder: verdicts without an observer,
// stopping at the first difference and telling all, and where it descends;
// at the root, where setup.msi matches by name alone, and below it.
std::string Outcome(const CFolderCase& c, bool reference, BOOL atRoot)
{
    std::string outcome;
    CFolderMatch match(c.foldersReaded, c.filesReaded, c.folders, c.files, atRoot);
    for (int mode = 0; mode < 3; ++mode) {
        CRecordingObserver observer(c, mode == 1);
        CWalkObserver* listener = mode == 0 ? nullptr : &observer;
        BOOL same = reference ? ReferenceCompare(c, listener, atRoot ? cmpRootFiles : cmpFiles)
                              : match.Compare(listener, "\\");
        outcome += std::to_string(same) + " " + observer.told + "\n";
    }
    for (size_t position = 0; position < c.folders.size(); ++position) {
        LONG listed = reference ? cmpFolders.Find(c.foldersReaded, c.folders[position]) : match.FindListedFolder(position);
        outcome += std::to_string(listed) + " ";
    }
    return outcome;
}

class CFolderMaker {
public:
    explicit CFolderMaker(unsigned seed) : rng(seed) {}

    CFolderCase Make()
    {
        CFolderCase c;
        // Now and then a folder large enough that the sort is no longer a plain insertion sort.
        Fill(c.foldersReaded, true, Below(10) == 0 ? Below(40) : Below(5));
        Fill(c.filesReaded, false, Below(10) == 0 ? Below(60) : Below(14));
        c.folders = Derive(c.foldersReaded, true);
        c.files = Derive(c.filesReaded, false);
        return c;
    }

private:
    // Letters in both cases, bytes of the active code page above 0x7F (case
    // pairs among them, and lead and trail bytes of UTF-8), and the hyphen,
    // which some comparisons weigh apart.
    std::string Name()
    {
        static const char* const pieces[] = {"a", "A", "b", "B", "\xC4", "\xE4", "\xC3", "\xA4", "\x8A",
                                             "\x9A", "\xFF", "-", "setup.msi", "SETUP.MSI"};
        std::string name;
        for (unsigned length = 1 + Below(3); name.size() < length;) {
            name += pieces[Below(sizeof(pieces) / sizeof(pieces[0]))];
        }
        return name;
    }

    WIN32_FIND_DATAA Entry(bool folder)
    {
        return MakeRecord(folder ? Folder(Name(), {}) : File(Name(), Below(3), 0x20 | Below(2)));
    }

    void Fill(CFindDataArray& list, bool folders, unsigned count)
    {
        for (unsigned i = 0; i < count; ++i) {
            list.push_back(Below(8) == 0 && !list.empty() ? Twin(list[Below(list.size())]) : Entry(folders));
        }
    }

    // The same name with the case of one character turned, where it has one.
    WIN32_FIND_DATAA Twin(WIN32_FIND_DATAA entry)
    {
        static const std::pair<char, char> cases[] = {{'a', 'A'}, {'b', 'B'}, {'\xC4', '\xE4'}, {'\x8A', '\x9A'}};
        size_t length = std::char_traits<char>::length(entry.cFileName);
        char& ch = entry.cFileName[Below(static_cast<unsigned>(length))];
        for (const std::pair<char, char>& pair : cases) {
            if (ch == pair.first || ch == pair.second) {
                ch = ch == pair.first ? pair.second : pair.first;
                break;
            }
        }
        return entry;
    }

    CFindDataArray Derive(const CFindDataArray& listed, bool folders)
    {
        CFindDataArray found;
        for (const WIN32_FIND_DATAA& entry : listed) {
            switch (Below(10)) {
            case 0:
                break;  // missing
            case 1:
                found.push_back(entry);
                found.back().nFileSizeLow ^= 1 + Below(2);
                found.back().dwFileAttributes ^= Below(2);
                break;
            case 2:
                found.push_back(Twin(entry));
                break;
            case 3:
                found.push_back(entry);
                found.push_back(Twin(entry));
                break;
            default:
                found.push_back(entry);
            }
        }
        for (unsigned extra = Below(3); extra > 0; --extra) {
            found.push_back(Entry(folders));
        }
        for (size_t i = found.size(); i > 1; --i) {
            std::swap(found[i - 1], found[Below(static_cast<unsigned>(i))]);
        }
        return found;
    }

    // The generator's own draw, since the standard distributions differ between libraries.
    unsigned Below(size_t bound) { return static_cast<unsigned>(rng() % bound); }

    std::mt19937 rng;
};

std::string Describe(const CFolderCase& c)
{
    std::string text;
    for (const CFindDataArray* list : {&c.foldersReaded, &c.filesReaded, &c.folders, &c.files}) {
        text += "\n ";
        for (const WIN32_FIND_DATAA& entry : *list) {
            char field[32];
            std::snprintf(field, sizeof(field), "/%lu/%lx ", static_cast<unsigned long>(entry.nFileSizeLow),
                          static_cast<unsigned long>(entry.dwFileAttributes));
            for (const char* p = entry.cFileName; *p != '\0'; ++p) {
                char byte[8];
                std::snprintf(byte, sizeof(byte), static_cast<unsigned char>(*p) < 0x80 ? "%c" : "\\x%02X",
                              static_cast<unsigned char>(*p));
                text += byte;
            }
            text += field;
        }
    }
    return text;
}

TEST(FolderMatchTest, AgreesWithThePairwiseSearchOnGeneratedFolders)
{
    CFolderMaker maker(20261208);
    int differing = 0;
    for (int i = 0; i < 3000 && differing == 0; ++i) {
        CFolderCase c = maker.Make();
        BOOL atRoot = i % 2;
        std::string expected = Outcome(c, true, atRoot);
        std::string actual = Outcome(c, false, atRoot);
        if (actual != expected) {
            ++differing;
            ADD_FAILURE() << "folder " << i << (atRoot ? " at the root" : " below the root") << Describe(c) << "\nexpected:\n" << expected << "\nactual:\n" << actual;
        }
    }
}

}  // namespace
