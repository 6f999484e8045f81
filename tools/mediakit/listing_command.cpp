// mediakit listing build|show: the binary listing that CheckItems compares with.
#include "command_exit.h"
#include "commands.h"

void AddListingCommand(CLI::App& app)
{
    CLI::App* listing = app.add_subcommand("listing", "Make or show the binary listing of a disc tree");
    listing->require_subcommand(1);
    CLI::App* build = listing->add_subcommand("build", "Write the listing of a disc tree");
    build->callback([] { EndCommand(exitError, "listing build is not available yet"); });
    CLI::App* show = listing->add_subcommand("show", "Print a listing as text");
    show->callback([] { EndCommand(exitError, "listing show is not available yet"); });
}
