// mediakit: mastering and inspection of the installation kit's data for
// release engineers. Each subcommand is registered from its own file.
#include "command_exit.h"
#include "commands.h"

#include <windows.h>
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <port/host.h>
#endif

#include <iostream>
#include <string>

int main(int argc, char** argv)
{
    CLI::App app{"mediakit: makes, shows and checks the data that Vesmark.dll embeds for a "
                 "product's installation disc.\nExit codes: 0 ok, 1 difference found, "
                 "2 usage or I/O error."};
    app.require_subcommand(1);
    // Options are spelt as on every host; "/x" is a path, not an option, on Windows too.
    app.allow_windows_style_options(false);
    app.set_version_flag("--version", std::string("mediakit ") + MEDIAKIT_VERSION);

    // Host entries are named in UTF-8, and the listings and manifests are
    // recoded into it: names are told apart as Windows would with that
    // active code page. The port is told so; on Windows the program's
    // manifest asks for it, which Windows grants from version 1903 on.
#ifdef _WIN32
    // The same bytes as on POSIX hosts: lines end in LF, not CR LF.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    if (GetACP() != CP_UTF8) {
        std::cerr << "mediakit: Windows runs this program in code page " << GetACP()
                  << ", not UTF-8; it needs Windows 10 version 1903 or later\n";
        return exitError;
    }
#else
    PortSetCodePage(CP_UTF8);
#endif

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
