// `tagmill show [--json] FILE...`: every string property the library reads from
// each file, as a table or as a JSON array.
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "read_loop.h"

namespace tool {

namespace {

struct ShowOptions {
    std::vector<std::string> files;
    bool json = false;
};

} // namespace

Command AddShowCommand(CLI::App &program) {
    auto options = std::make_shared<ShowOptions>();
    CLI::App *app = program.add_subcommand("show", "Print every string property (title, artist, ...)");
    app->add_flag("--json", options->json,
                  "Print a JSON array: one {\"file\", \"version\", \"strings\"} object per file");
    app->add_option("files", options->files, "Files to read")->required();
    return {app, [options] { return InspectEach(options->files, options->json, {PrintStrings, StringsJson}); }};
}

} // namespace tool
