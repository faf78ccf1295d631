// `tagmill show [--json] FILE... [-r DIR]`: every property the library reads
// from each file (strings, date and year, pictures, music ID, objects,
// user-defined strings), as a table or as a JSON array.
#include <memory>

#include "batch.h"
#include "commands.h"
#include "read_loop.h"

namespace tool {

namespace {

struct ShowOptions {
    BatchFlags batch;
    bool json = false;
};

} // namespace

Command AddShowCommand(CLI::App &program) {
    auto options = std::make_shared<ShowOptions>();
    CLI::App *app = program.add_subcommand(
        "show", "Print every property: strings (title, artist, ...), release date and year, pictures, "
                "music ID, encapsulated objects and user-defined strings");
    app->add_flag("--json", options->json,
                  "Print one JSON array with an object per file (keys: file, version, strings, date, year, "
                  "pictures, music_id, objects, user_strings)");
    app->add_option("files", options->batch.files, "Files to read");
    AddBatchOptions(*app, options->batch);
    return {app, [options] {
                return InspectEach("show", options->batch, options->json, {PrintShow, ShowJson, true});
            }};
}

} // namespace tool
