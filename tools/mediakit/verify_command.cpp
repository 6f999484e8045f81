// mediakit verify: a disc tree against a listing, with the library's own walker.
#include "command_exit.h"
#include "commands.h"

void AddVerifyCommand(CLI::App& app)
{
    CLI::App* verify = app.add_subcommand("verify", "Compare a disc tree with a listing");
    verify->callback([] { EndCommand(exitError, "verify is not available yet"); });
}
