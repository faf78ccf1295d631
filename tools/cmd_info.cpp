// `tagmill info [--json] FILE... [-r DIR]`: where the ID3v2 tag sits, its
// version, size and header flags, and whether an ID3v1 tag is present.
#include <memory>

#include "batch.h"
#include "commands.h"
#include "read_loop.h"

namespace tool {

namespace {

struct InfoOptions {
    BatchFlags batch;
    bool json = false;
};

} // namespace

Command AddInfoCommand(CLI::App &program) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App *app = program.add_subcommand("info", "Show where the tags are: ID3v2 version, position, "
                                                   "size and header flags, and ID3v1 presence");
    app->add_flag("--json", options->json, "Print a JSON array with one object per file");
    app->add_option("files", options->batch.files, "Files to examine");
    AddBatchOptions(*app, options->batch);
    return {app, [options] {
                return InspectEach("info", options->batch, options->json, {PrintInfo, InfoJson, false});
            }};
}

} // namespace tool
