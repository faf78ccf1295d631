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

#ifdef __GLIBC__
#include <malloc.h>
#endif

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
// After <windows.h>:
#include <shellapi.h>

#include "utf8.h"

namespace {

// The program works in UTF-8 like on Linux: its arguments come from the wide
// command line, and its output is written byte for byte (no "\r\n").
struct Utf8Arguments {
    std::vector<std::string> values;
    std::vector<char *> pointers;
    Utf8Arguments() {
        int count = 0;
        if (wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
            for (int i = 0; i < count; ++i) values.push_back(tool::Narrow(wide[i]));
            LocalFree(wide);
        }
        for (std::string &value : values) pointers.push_back(&value[0]);
        pointers.push_back(nullptr);
        _setmode(_fileno(stdout), _O_BINARY);
        _setmode(_fileno(stderr), _O_BINARY);
    }
};

} // namespace
#endif

int main(int argc, char **argv) {
#ifdef __GLIBC__
    // Each file's tag and scan buffers come and go; without this, glibc hands
    // the freed top of the heap back to the system after every file and maps
    // it in again for the next, which costs more than the file's own work.
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 16 << 20);
#endif
#ifdef _WIN32
    Utf8Arguments utf8;
    argc = static_cast<int>(utf8.values.size());
    argv = utf8.pointers.data();
#endif
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
    // Options start with '-' everywhere: a path such as "/music/a.mp3" stays a
    // path on Windows too.
    program.allow_windows_style_options(false);
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
