#include "manifest_verification.h"

#include "command_exit.h"
#include "manifest_report.h"
#include "progress_bar.h"
#include "text_reader.h"
#include "tree_files.h"

#include "verify/file_iterator.h"
#include "verify/find_data_from_md5.h"

#include <stdexcept>

namespace {

// The manifest's text in the host's UTF-8, in which the port names the tree.
std::string ReadManifest(const VerifyInput& input, const CCodePageText& codePage)
{
    const std::string& name = input.name;
    std::string ansi = input.read();
    if (ansi.empty()) {
        EndCommand(exitError, name + ": the manifest is empty; the check fails without one");
    }
    // Told before the text is recoded, which would turn the mark into letters.
    if (StartsWithByteOrderMark(reinterpret_cast<const BYTE*>(ansi.data()), static_cast<DWORD>(ansi.size()))) {
        EndCommand(exitError, name + ": the manifest starts with a byte-order mark; the check fails on it "
                                     "(write it as plain text in the code page, as manifest build does)");
    }
    if (codePage.IsOwnUtf8(ansi)) {
        return ansi;  // a large manifest is not copied for nothing
    }
    std::string utf8;
    if (!codePage.FromAnsi(ansi, utf8)) {
        EndCommand(exitError, name + ": the manifest is not text in code page " +
                                  std::to_string(codePage.CodePage()));
    }
    return utf8;
}

// The line, counted from 1, on which the byte at offset stands; CR LF, a lone
// CR and a lone LF each end one line.
unsigned LineAt(const std::string& text, size_t offset)
{
    unsigned line = 1;
    for (size_t i = 0; i < offset && i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) {
            ++line;
        }
    }
    return line;
}

// Why the manifest cannot be used, in one line; empty when it loaded whole.
std::string LoadProblem(const CFindDataFromMD5& manifest, const std::string& text)
{
    std::string at = "line " + std::to_string(LineAt(text, manifest.FaultOffset())) + ": ";
    switch (manifest.LoadFault()) {
    case CFindDataFromMD5::whole:
        return "";
    case CFindDataFromMD5::noRows:
        return "the manifest names no file, so it would guard nothing";
    case CFindDataFromMD5::byteOrderMark:
        return "the manifest starts with a byte-order mark";
    case CFindDataFromMD5::notARow:
        return at + "not a row as manifest build writes it (\\path\\below\\the\\root, a tab, 32 "
                    "upper-case hex digits; no '/', no zero byte, at most 259 characters of path)";
    case CFindDataFromMD5::lineTooLong:
        return at + "longer than " + std::to_string(CFindDataFromMD5::maxLineLength) + " characters";
    case CFindDataFromMD5::noMemory:
        return "the manifest does not fit in memory";
    }
    return "the manifest cannot be used";
}

// What the listed files that are on the disc weigh, for the progress bar.
uint64_t ListedBytes(const std::string& root, const CManifestReport& report)
{
    uint64_t total = 0;
    try {
        for (const TreeFile& file : CollectTreeFiles(root)) {
            total += report.Lists(file.relativePath) ? file.size : 0;
        }
    } catch (const std::runtime_error&) {
        // The walk itself tells what is wrong with the tree.
    }
    return total;
}

}  // namespace

ManifestOutcome VerifyManifest(const std::string& root, const VerifyInput& manifestInput,
                               const CCodePageText& codePage, bool first, CFindingWriter& writer)
{
    CTextReader reader(ReadManifest(manifestInput, codePage));
    CFindDataFromMD5 manifest(&reader);
    if (!manifest.IsComplete()) {
        // Read again only to tell the line: the reader gave the text back.
        std::string problem = LoadProblem(manifest, ReadManifest(manifestInput, codePage));
        EndCommand(exitError, manifestInput.name + ": " + problem + "; the check fails on it");
    }

    ManifestOutcome outcome;
    outcome.rows = static_cast<unsigned>(manifest.RowCount());
    CProgressBar progress("hashing");
    CManifestReport report(manifest, writer, first, progress);
    // Weighing the files costs a walk of its own: only for a bar that shows.
    if (writer.ShowsProgress() && progress.CanShow()) {
        progress.SetTotal(ListedBytes(root, report));
    }
    CFileIterator iterator;
    iterator.SetObserver(&report);
    outcome.passes = iterator.Walk(&report, root.c_str(), "*.*", 1) != FALSE;
    progress.Finish();
    outcome.checked = report.checked;
    outcome.changed = report.changed;
    outcome.troubles = report.troubles;
    // After a walk stopped early, files not yet met are not known to be missing.
    if (!first || outcome.passes) {
        outcome.missing = report.TellMissing();
    }
    return outcome;
}
