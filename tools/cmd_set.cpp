// `tagmill set FILE... [-r DIR] [--title T] ... [--date D] [--picture F]
// [--user-string D=V] ... [--remove NAME] [--no-v1] [--no-sync]`: change properties in
// place; `tagmill set --from-json FILE.json` applies edited `show --json`
// output to the files it names. Every change is staged in the library's edit
// transaction and written by Close; when any change fails the object is
// destroyed without Close, which drops the transaction, so the file keeps
// exactly what it held before. A file with nothing to change is not opened
// for writing at all (opening for writing rewrites the tag).
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>

#include <tagmill/tagmill.h>

#include "batch.h"
#include "commands.h"
#include "edits.h"
#include "file_kind.h"
#include "inspect.h"
#include "json_edits.h"

namespace tool {

namespace {

constexpr const char *kChanged = "changed";
constexpr const char *kUnchanged = "unchanged";

struct SetOptions {
    BatchFlags batch;
    EditOptions edits;
    bool noV1 = false;
    std::string fromJson; // FILE.json, or - for standard input
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

// A durable run shares its flushes: commits wait in memory and are finished
// together once they hold 8 MiB or 64 files (measured: smaller journals
// reach the disk faster than a few large ones), so that a run costs two
// flushes per batch rather than three per file.
constexpr size_t kBatchFiles = 64;
constexpr uint64_t kBatchBytes = 8 << 20;

// Every waiting commit reaches its file. After a failure, a change whose
// journal was written waits there for the next open; any other is lost.
bool FinishBatch(CTagmillBatch &batch, Failure &failure) {
    const long hr = batch.Finish();
    if (tagmill::Failed(hr))
        failure = {"some changes of this and earlier files did not reach their files: those written to a journal "
                   "are completed by the next open (tagmill check lists them), the others are lost", hr};
    return !tagmill::Failed(hr);
}

bool Change(const std::string &file, const EditPlan &plan, bool updateV1, CTagmillBatch *batch, Failure &failure) {
    const FileKind kind = ClassifyFile(file);
    if (RefuseKind(kind, failure)) return false;
    CTagmill tag;
    tag.SetDurable(batch != nullptr);
    tag.SetCommitBatch(batch);
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
    if (batch && (batch->Waiting() >= kBatchFiles || batch->WaitingBytes() >= kBatchBytes))
        return FinishBatch(*batch, failure);
    return true;
}

// The changes for one file: the options' plan, or what its JSON document asks
// for compared with what the file holds now.
using FilePlanner = std::function<bool(const std::string &path, EditPlan &plan, Failure &failure)>;

int RunPlanned(const SetOptions &options, const BatchFlags &batch, const FilePlanner &planFor) {
    BatchSetup setup;
    setup.command = "set";
    setup.tallyOrder = {kChanged};
    if (!options.fromJson.empty()) setup.tallyOrder.push_back(kUnchanged);
    setup.distinctFiles = true;
    const bool updateV1 = !options.noV1;
    CTagmillBatch commits;
    CTagmillBatch *shared = options.noSync ? nullptr : &commits;
    const int status = RunBatch(batch, setup, [&](const InputFile &file, size_t) {
        FileResult result;
        Failure failure;
        EditPlan plan;
        if (!planFor(file.path, plan, failure))
            result.failures.push_back(failure);
        else if (plan.Empty())
            result.tallies.push_back(kUnchanged);
        else if (Change(file.path, plan, updateV1, shared, failure))
            result.tallies.push_back(kChanged);
        else
            result.failures.push_back(failure);
        return result;
    });
    Failure failure;
    if (FinishBatch(commits, failure)) return status;
    std::cerr << "tagmill set: " << failure.what << " (" << tagmill::ResultName(failure.code) << ")\n";
    return kExitFileFailed;
}

// The documents of FILE.json by the file each names (an array of `show
// --json` objects, or one object).
bool LoadDocuments(const std::string &source, std::vector<std::string> &files,
                   std::map<std::string, nlohmann::json> &documents) {
    nlohmann::json all;
    try {
        if (source == "-") {
            all = nlohmann::json::parse(std::cin);
        } else {
            std::ifstream in(source);
            if (!in) throw std::runtime_error("cannot read it");
            all = nlohmann::json::parse(in);
        }
    } catch (const std::exception &e) {
        std::cerr << "tagmill set: --from-json " << source << ": " << e.what() << '\n';
        return false;
    }
    if (all.is_object()) all = nlohmann::json::array({all});
    for (const nlohmann::json &doc : all.is_array() ? all : nlohmann::json::array()) {
        if (!doc.is_object() || !doc.contains("file") || !doc["file"].is_string()) {
            std::cerr << "tagmill set: --from-json " << source << ": every object needs a \"file\" string\n";
            return false;
        }
        const std::string file = doc["file"];
        if (documents.emplace(file, doc).second) files.push_back(file);
    }
    if (!all.is_array() || files.empty()) {
        std::cerr << "tagmill set: --from-json " << source << ": no files named (a JSON array of objects is wanted)\n";
        return false;
    }
    return true;
}

int RunFromJson(const SetOptions &options) {
    if (EditOptionsGiven(options.edits) || !options.batch.files.empty() || !options.batch.roots.empty()) {
        std::cerr << "tagmill set: --from-json takes the files and changes from the JSON alone\n";
        return kExitUsage;
    }
    BatchFlags batch = options.batch;
    std::map<std::string, nlohmann::json> documents;
    if (!LoadDocuments(options.fromJson, batch.files, documents)) return kExitUsage;
    return RunPlanned(options, batch, [&](const std::string &path, EditPlan &plan, Failure &failure) {
        Inspection current;
        if (!Inspect(path, true, current, failure)) return false;
        std::string problem;
        if (PlanFromJson(documents.at(path), current, plan, problem)) return true;
        failure = {problem + "; nothing written", 0, "bad JSON value"};
        return false;
    });
}

int RunSet(const SetOptions &options) {
    if (!options.fromJson.empty()) return RunFromJson(options);
    EditPlan plan;
    if (!PlanEdits("set", options.edits, plan)) return kExitUsage;
    return RunPlanned(options, options.batch, [&](const std::string &, EditPlan &out, Failure &) {
        out = plan;
        return true;
    });
}

} // namespace

Command AddSetCommand(CLI::App &program) {
    auto options = std::make_shared<SetOptions>();
    CLI::App *app = program.add_subcommand(
        "set", "Change properties in place. All changes to a file are written together, or not at all when "
               "one of them fails. Every write rewrites the user-defined text, URL and object frames (TXXX, "
               "WXXX, GEOB) from the properties below, dropping those with other descriptions");
    app->add_option("files", options->batch.files, "Files to change");
    AddEditOptions(*app, options->edits, true);
    app->add_flag("--no-v1", options->noV1, "Leave the ID3v1 tag as it is");
    app->add_option("--from-json", options->fromJson,
                    "Apply `show --json` output (edited or not) to the files it names: keys present are written, "
                    "null or empty removes, absent keys are left alone; a picture or object entry with a \"file\" "
                    "key takes its bytes from that file. Files whose values all match are not touched")
        ->type_name("FILE.json|-");
    app->add_flag("--no-sync", options->noSync,
                  "Do not flush the changes to disk (faster; a killed run still leaves every file whole, a power "
                  "cut may not)");
    AddBatchOptions(*app, options->batch);
    return {app, [options] { return RunSet(*options); }};
}

} // namespace tool
