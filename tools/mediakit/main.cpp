// mediakit: mastering and inspection of the installation kit's data for
// release engineers. Each subcommand is registered from its own file.
#include "command_exit.h"
#include "commands.h"

#include <windows.h>
#include <port/host.h>

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    CLI::App app{"mediakit: makes, shows and checks the data that Vesmark.dll embeds for a "
                 "product's installation disc.\nExit codes: 0 ok, 1 difference found, "
                 "2 usage or I/O error."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("mediakit ") + MEDIAKIT_VERSION);

    // The port names host entries in UTF-8, and the listings and manifests
    // are recoded into it: names are told apart as Windows would with that
    // active code page.
    PortSetCodePage(CP_UTF8);

    AddListingCommand(app);
    AddManifestCommand(app);
    AddVerifyCommand(app);
    AddCryptCommand(app);
    AddDiscIdCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        return e.get_exit_code();
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? exitOk : exitError;
    } catch (const std::exception& e) {
        // Whatever a command did not foresee still ends in one line, not an abort.
        std::cerr << "mediakit: " << e.what() << '\n';
        return exitError;
    }
    return exitOk;
}
