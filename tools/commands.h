// The sub-commands. Each Add*Command registers its options on the program's
// CLI::App and returns the sub-command with the function that runs it after a
// successful parse. Runners return the exit status: 0 all good, 1 some file
// failed, 2 a usage error found after parsing.
#ifndef TAGMILL_TOOLS_COMMANDS_H
#define TAGMILL_TOOLS_COMMANDS_H

#include <functional>

#include <CLI/CLI.hpp>

namespace tool {

enum ExitStatus { kExitOk = 0, kExitFileFailed = 1, kExitUsage = 2 };

struct Command {
    CLI::App *app;
    std::function<int()> run;
};

Command AddInfoCommand(CLI::App &program);
Command AddShowCommand(CLI::App &program);
Command AddFramesCommand(CLI::App &program);
Command AddSetCommand(CLI::App &program);
Command AddCheckCommand(CLI::App &program);
Command AddExtractPictureCommand(CLI::App &program);
Command AddExportTagCommand(CLI::App &program);
Command AddBuildTagCommand(CLI::App &program);

} // namespace tool

#endif
