// `tagmill build-tag [--title T] ... [--date D] [--picture F] OUT.id3`: make a
// stand-alone ID3v2.3 tag from the options, without any audio file. The tag is
// built in a memory content (a new empty tag), committed there and copied out.
#include <iostream>
#include <memory>

#include <tagmill/tagmill.h>

#include "commands.h"
#include "edits.h"
#include "file_io.h"
#include "raw_tag.h"
#include "report.h"

namespace tool {

namespace {

struct BuildOptions {
    EditOptions edits;
    std::string out;
};

bool Build(const EditPlan &plan, std::vector<unsigned char> &bytes, Failure &failure) {
    CTagmill tag;
    long hr = tag.OpenFromMemory(nullptr, 0, 3);
    if (tagmill::Failed(hr)) {
        failure = {"cannot start a tag in memory", hr};
        return false;
    }
    if (!ApplyEdits(tag, plan, failure)) return false;
    hr = tag.UpdateOnMemory();
    if (tagmill::Failed(hr)) {
        failure = {"cannot lay the tag out", hr};
        return false;
    }
    hr = FetchTag(tag, bytes);
    if (hr != tagmill::S_OK) {
        failure = {"cannot copy the tag out", hr};
        return false;
    }
    return true;
}

int RunBuild(const BuildOptions &options) {
    EditPlan plan;
    if (!PlanEdits("build-tag", options.edits, plan)) return kExitUsage;
    std::vector<unsigned char> bytes;
    Failure failure;
    if (!Build(plan, bytes, failure)) {
        ReportFailure(std::cerr, options.out, failure);
        return kExitFileFailed;
    }
    std::string error;
    if (!WriteBytes(options.out, bytes.data(), bytes.size(), false, error)) {
        ReportFailure(std::cerr, options.out, {"cannot write: " + error, 0});
        return kExitFileFailed;
    }
    return kExitOk;
}

} // namespace

Command AddBuildTagCommand(CLI::App &program) {
    auto options = std::make_shared<BuildOptions>();
    CLI::App *app = program.add_subcommand(
        "build-tag", "Write a new ID3v2.3 tag holding the properties given to OUT, without any audio file");
    AddEditOptions(*app, options->edits, false);
    app->add_option("out", options->out, "The tag file to write, e.g. tag.id3")->required()->type_name("OUT");
    return {app, [options] { return RunBuild(*options); }};
}

} // namespace tool
