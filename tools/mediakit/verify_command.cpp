// mediakit verify: a disc tree against a listing, a manifest or both, with
// the library's own walker, inputs and comparison, telling every difference.
#include "code_page_text.h"
#include "command_exit.h"
#include "commands.h"
#include "difference_printer.h"
#include "disc_drive.h"
#include "embedded_data.h"
#include "finding_writer.h"
#include "manifest_verification.h"
#include "number_option.h"
#include "recoded_input.h"
#include "text_reader.h"
#include "verify_input.h"

#include "verify/file_iterator.h"
#include "verify/find_data_from_bin.h"
#include "verify/listing_structure.h"

#include <iostream>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace {

struct VerifyArguments {
    std::string folder;
    std::string listing;
    std::string manifest;
    std::string package;
    std::string library;
    unsigned codePage = 1252;
    bool first = false;
    bool json = false;
    bool quiet = false;
};

// What one part of the verification found: differences fail it (exit 1),
// troubles make it unusable (exit 2).
struct PartOutcome {
    bool differs = false;
    bool troubled = false;
};

const char stoppedAtFirst[] = " (stopped at the first, as the installer's check does)";

PartOutcome VerifyListing(const VerifyArguments& args, const VerifyInput& listingInput, const std::string& root,
                          const CCodePageText& codePage, CFindingWriter& writer)
{
    CTextReader reader(listingInput.read());
    if (!reader.IsValid()) {
        EndCommand(exitError, listingInput.name + ": the listing is empty; the check fails without one");
    }
    CDifferencePrinter printer(writer, args.first, root);
    CFileIterator iterator;
    iterator.SetObserver(&printer);
    BOOL same = FALSE;
    ListingCheck structure;
    {
        // The walk checks the listing's structure before it reads the tree,
        // as the installer's check does; a listing it refuses is told here.
        CFindDataFromBin listing(&reader);
        CRecodedInput input(listing, codePage);
        same = iterator.Walk(&input, root.c_str(), "*.*", 1);
        structure = listing.Structure();
    }
    if (structure.fault != listingWhole) {
        EndCommand(exitError, listingInput.name + ": corrupt at byte " + std::to_string(structure.offset) + ": " +
                                  DescribeListingFault(structure.fault) + "; the check fails on it");
    }
    unsigned differences = printer.missing + printer.extra + printer.changed;
    bool passes = same && differences == 0 && printer.troubles == 0;
    std::ostringstream line;
    if (passes) {
        line << args.folder << ": matches " << listingInput.name;
    } else {
        line << args.folder << ": " << differences << " difference(s): " << printer.missing << " missing, "
             << printer.extra << " extra, " << printer.changed << " changed";
        if (printer.troubles != 0) {
            line << "; " << printer.troubles << " error(s)";
        }
        if (args.first) {
            line << stoppedAtFirst;
        }
    }
    writer.Summarize("listing", line.str(),
                     {{"passes", passes}, {"missing", printer.missing}, {"extra", printer.extra},
                      {"changed", printer.changed}, {"errors", printer.troubles}});
    return PartOutcome{!passes, printer.troubles != 0};
}

PartOutcome VerifyContent(const VerifyArguments& args, const VerifyInput& manifestInput, const std::string& root,
                          const CCodePageText& codePage, CFindingWriter& writer)
{
    ManifestOutcome outcome = VerifyManifest(root, manifestInput, codePage, args.first, writer);
    bool passes = outcome.passes && outcome.changed == 0 && outcome.troubles == 0;
    std::ostringstream line;
    line << args.folder << ": ";
    if (passes) {
        line << "content matches " << manifestInput.name;
    } else {
        line << outcome.changed << " changed file(s) against " << manifestInput.name;
    }
    line << " (" << outcome.checked << " of " << outcome.rows << " listed files digested";
    if (outcome.missing != 0) {
        line << ", " << outcome.missing << " not on the disc";
    }
    line << ")";
    if (outcome.troubles != 0) {
        line << "; " << outcome.troubles << " error(s)";
    }
    if (args.first && !outcome.passes) {
        line << stoppedAtFirst;
    }
    writer.Summarize("manifest", line.str(),
                     {{"passes", passes}, {"listed", outcome.rows}, {"digested", outcome.checked},
                      {"changed", outcome.changed}, {"not_on_disc", outcome.missing},
                      {"errors", outcome.troubles}});
    return PartOutcome{!outcome.passes || outcome.changed != 0, outcome.troubles != 0};
}

// What the tree is compared with: the files given, or the data a library
// embeds. Each source is given alone; ends the command when none is.
EmbeddedData ChosenInputs(const VerifyArguments& args)
{
    bool files = !args.listing.empty() || !args.manifest.empty();
    int sources = (files ? 1 : 0) + (args.package.empty() ? 0 : 1) + (args.library.empty() ? 0 : 1);
    if (sources == 0) {
        EndCommand(exitError, "give --listing FILE, --manifest FILE or both, or --package MSI, or --dll DLL");
    }
    if (sources > 1) {
        EndCommand(exitError, "give the listing and manifest files, --package or --dll, one of them: each "
                              "names what the tree is compared with");
    }
    EmbeddedData inputs;
    if (!args.package.empty()) {
        inputs = ReadPackageData(args.package);
    } else if (!args.library.empty()) {
        inputs = ReadLibraryData(args.library);
    } else {
        if (!args.listing.empty()) {
            inputs.listing = InputFile(args.listing, "listing");
        }
        if (!args.manifest.empty()) {
            inputs.manifest = InputFile(args.manifest, "manifest");
        }
    }
    return inputs;
}

void RunVerify(const VerifyArguments& args)
{
    EmbeddedData inputs = ChosenInputs(args);
    std::unique_ptr<CCodePageText> codePage;
    try {
        codePage = std::make_unique<CCodePageText>(args.codePage);
    } catch (const std::invalid_argument& e) {
        EndCommand(exitError, e.what());
    }
    std::unique_ptr<CDiscDrive> drive;
    try {
        drive = std::make_unique<CDiscDrive>(args.folder);
    } catch (const std::runtime_error& e) {
        EndCommand(exitError, e.what());
    }
    CFindingWriter writer(args.json ? ReportStyle::json : args.quiet ? ReportStyle::quiet : ReportStyle::text,
                          std::cout, std::cerr);
    PartOutcome listing;
    PartOutcome content;
    if (inputs.listing.IsGiven()) {
        listing = VerifyListing(args, inputs.listing, drive->Root(), *codePage, writer);
    }
    if (inputs.manifest.IsGiven()) {
        content = VerifyContent(args, inputs.manifest, drive->Root(), *codePage, writer);
    }
    int exitCode = exitOk;
    if (listing.troubled || content.troubled) {
        exitCode = exitError;
    } else if (listing.differs || content.differs) {
        exitCode = exitDifferent;
    }
    writer.Close(exitCode);
    EndCommand(exitCode, "");
}

}  // namespace

void AddVerifyCommand(CLI::App& app)
{
    auto args = std::make_shared<VerifyArguments>();
    CLI::App* verify = app.add_subcommand(
        "verify", "Check a disc tree the way the installer's checks do, telling every difference on "
                  "its own line. With --listing, as CheckItems: missing, extra, and changed size or "
                  "attributes. With --manifest, as CheckContentOfItems: every listed file whose "
                  "digest differs, with the expected and the found digest; listed files that are "
                  "not on the disc are told as notes and do not fail. Names match without regard "
                  "to letter case, as on the disc; two entries of one folder whose names differ "
                  "only in case are a difference, since a disc cannot hold them. Entries that are "
                  "not regular files (FIFOs, devices) are told as what they are and never read. "
                  "Both may be given; or, instead of them, --package or --dll to compare with the "
                  "listing and the manifest the library embeds, both checked. Exit 0 when the tree "
                  "passes, 1 when it differs, 2 on usage, I/O, corrupt-listing or unusable-manifest "
                  "errors (each fails the installer's check too)");
    verify->add_option("DIR", args->folder, "Root folder of the disc tree")->required();
    verify->add_option("--listing", args->listing, "Binary listing to compare with");
    verify->add_option("--manifest", args->manifest, "MD5 manifest to check the files' content with");
    verify->add_option("--package", args->package,
                       "Installer package (.msi) to check with the listing (BIN 101) and the manifest "
                       "(BIN 103) of its CheckItems library, the Binary table row that the action's Source "
                       "names; read through the installer's database functions");
    verify->add_option("--dll", args->library,
                       "Custom-action library (Vesmark.dll, 32- or 64-bit) to check with the listing (BIN 101) "
                       "and the manifest (BIN 103) it embeds");
    verify->add_option("--codepage", args->codePage,
                       "ANSI code page of the names in the listing and the manifest, as the installer "
                       "that runs the checks has it (default 1252)")
        ->check(decimalNumber);
    verify->add_flag("--first", args->first,
                     "Stop each check at its first difference, where the installer's check stops");
    CLI::Option* json = verify->add_flag(
        "--json", args->json,
        "Write one JSON object per line instead of text: one per finding (missing, extra, changed, "
        "note, error), then {\"summary\": ...} with each check's counts and the exit code");
    verify->add_flag("--quiet", args->quiet,
                     "Write nothing but errors: no differences, no summary, no progress bar; the exit "
                     "code tells")
        ->excludes(json);
    verify->callback([args] { RunVerify(*args); });
}
