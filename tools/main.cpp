// The tagmill command-line program: sub-command wiring and exit statuses
// (0 all good, 1 some file failed, 2 usage error).
#include <iostream>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"

int main(int argc, char **argv) {
    CLI::App program{"tagmill: read and write ID3 tags in MP3 and AIFF files"};
    program.name("tagmill");
    program.require_subcommand(1);
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
    } catch (const CLI::ParseError &e) {
        program.exit(e);
        return tool::kExitUsage;
    }
    for (const tool::Command &command : commands)
        if (command.app->parsed()) return command.run();
    return tool::kExitUsage;
}
