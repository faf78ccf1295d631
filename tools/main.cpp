// The tagmill command-line program: sub-command wiring, --version, the
// generated manual page and completion script, and exit statuses (0 all good,
// 1 some file failed, 2 usage error).
#include <iostream>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>
#include <tagmill/version.h>

#include "commands.h"
#include "manual.h"

int main(int argc, char **argv) {
    CLI::App program{"tagmill: read and write ID3 tags in MP3 and AIFF files"};
    program.name("tagmill");
    program.require_subcommand(0, 1);
    const std::string version = std::string(TAGMILL_VERSION);
    program.set_version_flag("--version", "tagmill " + version + " (library " + tagmill_version() + ")",
                             "Print the program's and the library's version");
    // For the build, which installs what they print; hidden from --help.
    bool manual = false, completion = false;
    program.add_flag("--manpage", manual, "Print the manual page (roff)")->group("");
    program.add_flag("--bash-completion", completion, "Print the bash completion script")->group("");
    const std::vector<tool::Command> commands = {
        tool::AddInfoCommand(program),
        tool::AddShowCommand(program),
        tool::AddFramesCommand(program),
        tool::AddSetCommand(program),
        tool::AddCheckCommand(program),
        tool::AddExtractPictureCommand(program),
        tool::AddExportTagCommand(program),
        tool::AddBuildTagCommand(program),
    };
    try {
        program.parse(argc, argv);
    } catch (const CLI::CallForHelp &e) {
        return program.exit(e);
    } catch (const CLI::CallForAllHelp &e) {
        return program.exit(e);
    } catch (const CLI::CallForVersion &e) {
        return program.exit(e);
    } catch (const CLI::ParseError &e) {
        program.exit(e);
        return tool::kExitUsage;
    }
    if (manual || completion) {
        std::cout << (manual ? tool::ManualPage(program, version) : tool::BashCompletion(program));
        return tool::kExitOk;
    }
    for (const tool::Command &command : commands)
        if (command.app->parsed()) return command.run();
    std::cerr << "tagmill: give a command (see tagmill --help)\n";
    return tool::kExitUsage;
}
