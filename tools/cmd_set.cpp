// `tagmill set FILE... [-r DIR] [--title T] ... [--date D] [--picture F]
// [--remove NAME] [--no-v1] [--no-sync]`: change properties in place. Every change is
// staged in the library's edit transaction and written by Close; when any
// change fails the object is destroyed without Close, which drops the
// transaction, so the file keeps exactly what it held before.
#include <memory>
#include <string>

#include <tagmill/tagmill.h>

#include "batch.h"
#include "commands.h"
#include "edits.h"
#include "file_kind.h"

namespace tool {

namespace {

constexpr const char *kChanged = "changed";

struct SetOptions {
    BatchFlags batch;
    EditOptions edits;
    bool noV1 = false;
    bool noSync = false;
};

// Files the program must not write into: it says why, and nothing happens.
bool RefuseKind(FileKind kind, Failure &failure) {
    if (kind == FileKind::Directory) {
        failure = {"is a directory, not an audio file; nothing written", 0, "directory"};
        return true;
    }
    if (kind == FileKind::Unknown) {
        failure = {"not an MP3 or AIFF file (no ID3 tag, no MPEG audio frames); nothing written", 0, "not audio"};
        return true;
    }
    return false;
}

bool Change(const std::string &file, const EditPlan &plan, bool updateV1, bool durable, Failure &failure) {
    const FileKind kind = ClassifyFile(file);
    if (RefuseKind(kind, failure)) return false;
    CTagmill tag;
    tag.SetDurable(durable);
    long hr = OpenByKind(tag, file, kind, 2, updateV1);
    if (tagmill::Failed(hr)) {
        failure = {"cannot open for writing", hr};
        return false;
    }
    if (!ApplyEdits(tag, plan, failure)) return false; // no Close: nothing is written
    hr = tag.Close();
    if (tagmill::Failed(hr)) {
        failure = {"cannot write the changes", hr};
        return false;
    }
    return true;
}

int RunSet(const SetOptions &options) {
    EditPlan plan;
    if (!PlanEdits("set", options.edits, plan)) return kExitUsage;
    BatchSetup setup;
    setup.command = "set";
    setup.tallyOrder = {kChanged};
    setup.distinctFiles = true;
    const bool updateV1 = !options.noV1;
    return RunBatch(options.batch, setup, [&](const InputFile &file, size_t) {
        FileResult result;
        Failure failure;
        if (Change(file.path, plan, updateV1, !options.noSync, failure))
            result.tallies.push_back(kChanged);
        else
            result.failures.push_back(failure);
        return result;
    });
}

} // namespace

Command AddSetCommand(CLI::App &program) {
    auto options = std::make_shared<SetOptions>();
    CLI::App *app = program.add_subcommand(
        "set", "Change properties in place. All changes to a file are written together, or not at all when "
               "one of them fails");
    app->add_option("files", options->batch.files, "Files to change");
    AddEditOptions(*app, options->edits, true);
    app->add_flag("--no-v1", options->noV1, "Leave the ID3v1 tag as it is");
    app->add_flag("--no-sync", options->noSync,
                  "Do not flush the changes to disk (faster; a killed run still leaves every file whole, a power "
                  "cut may not)");
    AddBatchOptions(*app, options->batch);
    return {app, [options] { return RunSet(*options); }};
}

} // namespace tool
