// mediakit listing build|show: the binary listing that CheckItems compares with.
#include "code_page_text.h"
#include "command_exit.h"
#include "command_files.h"
#include "commands.h"
#include "disc_drive.h"
#include "listing_dump.h"
#include "listing_writer.h"
#include "number_option.h"

#include <iostream>
#include <memory>
#include <stdexcept>

namespace {

struct BuildArguments {
    std::string folder;
    std::string output;
    unsigned codePage = 1252;
    bool disc = false;
    bool noRecurse = false;
};

struct ShowArguments {
    std::string file;
    unsigned codePage = 1252;
};

std::unique_ptr<CCodePageText> OpenCodePage(unsigned codePage)
{
    try {
        return std::make_unique<CCodePageText>(codePage);
    } catch (const std::invalid_argument& e) {
        EndCommand(exitError, e.what());
    }
}

void RunBuild(const BuildArguments& args)
{
    CheckOutputTargets({{"-o", args.output}}, {{"DIR", args.folder}});
    std::unique_ptr<CCodePageText> codePage = OpenCodePage(args.codePage);
    ListingOptions options;
    options.disc = args.disc;
    options.recurse = !args.noRecurse;
    ListingCounts counts;
    std::vector<uint8_t> listing;
    try {
        CDiscDrive drive(args.folder);
        listing = BuildListing(drive.Root(), *codePage, options, counts, [](const std::string& folder) {
            std::cerr << "listing " << folder << '\n';
        });
    } catch (const std::runtime_error& e) {
        EndCommand(exitError, e.what());
    }
    WriteOutputFile(args.output, std::string(listing.begin(), listing.end()), "listing");
    std::cout << args.output << ": " << listing.size() << " bytes, " << counts.folders << " folders, "
              << counts.files << " files\n";
}

void RunShow(const ShowArguments& args)
{
    std::unique_ptr<CCodePageText> codePage = OpenCodePage(args.codePage);
    std::string content = ReadInputFile(args.file, "listing");
    std::vector<uint8_t> data(content.begin(), content.end());
    ListingDumpResult result = DumpListing(data, *codePage, std::cout);
    if (!result.complete) {
        EndCommand(exitError, args.file + ": corrupt at byte " + std::to_string(result.brokenAt) + ": " +
                                  result.reason);
    }
    std::cout << "# " << data.size() << " bytes, " << result.folderRecords << " folder records, "
              << result.folders << " folders, " << result.files << " files\n";
}

}  // namespace

void AddListingCommand(CLI::App& app)
{
    CLI::App* listing = app.add_subcommand("listing", "Make or show the binary listing of a disc tree");
    listing->require_subcommand(1);

    auto build = std::make_shared<BuildArguments>();
    CLI::App* buildCommand = listing->add_subcommand(
        "build", "Write the binary listing of a disc tree (entries sorted by name, depth-first; "
                 "the same tree and options always give the same bytes)");
    buildCommand->add_option("DIR", build->folder, "Root folder of the disc tree")->required();
    buildCommand->add_option("-o,--output", build->output, "Listing file to write")->required();
    buildCommand->add_option("--codepage", build->codePage,
                             "ANSI code page of the names in the listing (default 1252)")
        ->check(decimalNumber);
    buildCommand->add_flag("--disc", build->disc,
                           "Record attributes as a pressed disc reports them (files 0x21, folders "
                           "0x31) instead of those of the tree");
    buildCommand->add_flag("--no-recurse", build->noRecurse, "List the root folder only");
    buildCommand->callback([build] { RunBuild(*build); });

    auto show = std::make_shared<ShowArguments>();
    CLI::App* showCommand = listing->add_subcommand(
        "show", "Print a listing as text, one entry a line: path, kind, size, attributes, "
                "modification time (UTC); the root's setup.msi, which the check compares by name only, "
                "is followed by a line saying so. Paths longer than the 259 characters the check can walk "
                "are shown by their end after \\...\\. Exit 2 when the listing is corrupt, as the "
                "check fails on it; the byte offset of the fault is told");
    showCommand->add_option("FILE", show->file, "Listing file")->required();
    showCommand->add_option("--codepage", show->codePage, "ANSI code page of the names (default 1252)")
        ->check(decimalNumber);
    showCommand->callback([show] { RunShow(*show); });
}
