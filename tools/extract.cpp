// Argument forms, output naming and the per-file write of the extracting
// sub-commands.
#include "extract.h"

#include <iostream>
#include <map>

#include "commands.h"
#include "file_io.h"
#include "inspect.h"

namespace tool {

namespace {

constexpr const char *kWritten = "written";

struct Target {
    std::string path;   // the output file (one-file form) or its name without extension
    bool exact = false; // one-file form: written as given
};

std::string Join(const std::string &directory, const std::string &name) {
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// Splits the arguments into inputs and targets. False after a usage message.
bool Plan(const char *command, const ExtractOptions &options, std::vector<InputFile> &files,
          std::vector<InputProblem> &problems, std::vector<Target> &targets) {
    BatchFlags inputs = options.batch;
    if (options.outDir.empty()) {
        if (options.args.size() != 2 || !options.batch.roots.empty()) {
            std::cerr << "tagmill " << command << ": give FILE OUT, or files and/or -r DIR with --out-dir DIR "
                      << "(see tagmill " << command << " --help)\n";
            return false;
        }
        inputs.files = {options.args[0]};
        files = CollectInputs(inputs.files, {}, problems);
        targets = {{options.args[1], true}};
        return true;
    }
    inputs.files = options.args;
    files = CollectInputs(inputs.files, inputs.roots, problems);
    std::map<std::string, std::string> taken; // output name -> the input that has it
    std::vector<InputFile> kept;
    for (const InputFile &file : files) {
        const std::string name = Join(options.outDir, file.relative);
        const auto claim = taken.emplace(name, file.path);
        if (!claim.second) {
            problems.push_back({file.path, {"its output name " + name + ".* is taken by " + claim.first->second +
                                                "; not extracted",
                                            0, "name clash"}});
            continue;
        }
        kept.push_back(file);
        targets.push_back({name, false});
    }
    files = kept;
    return true;
}

FileResult ExtractOne(const InputFile &file, const Target &target, const char *none, const Extractor &extractor) {
    FileResult result;
    Extracted extracted;
    Failure failure;
    if (!extractor(file.path, extracted, failure)) {
        result.failures.push_back(failure);
        return result;
    }
    if (extracted.missing) {
        // Many files without one are normal in a library; one file asked for is not.
        if (target.exact)
            result.failures.push_back({extracted.missing, 0, none});
        else
            result.tallies.push_back(none);
        return result;
    }
    const std::string out = target.exact ? target.path : target.path + "." + extracted.extension;
    std::string error;
    if (!WriteBytes(out, extracted.bytes.data(), extracted.bytes.size(), !target.exact, error)) {
        result.failures.push_back({"cannot write " + out + ": " + error, 0, "unwritable output"});
        return result;
    }
    result.tallies.push_back(kWritten);
    if (!target.exact) result.out = file.path + " -> " + out + "\n";
    return result;
}

} // namespace

Opened OpenSource(CTagmill &tag, const std::string &path, Failure &failure) {
    FileKind kind = FileKind::Unknown;
    bool noTag = false;
    const long hr = OpenForReading(tag, path, kind, noTag);
    if (noTag) return Opened::NoTag;
    if (kind == FileKind::Directory) {
        failure = {"is a directory, not an audio file", 0, "directory"};
        return Opened::Failed;
    }
    if (kind == FileKind::Unknown) {
        failure = {"not an MP3 or AIFF file (no ID3 tag, no MPEG audio frames)", 0, "not audio"};
        return Opened::Failed;
    }
    if (tagmill::Failed(hr)) {
        failure = {"cannot open", hr};
        return Opened::Failed;
    }
    return Opened::Ok;
}

void AddExtractOptions(CLI::App &app, ExtractOptions &options, const char *what) {
    app.add_option("files", options.args,
                   std::string("FILE OUT: write ") + what + " of FILE to OUT; with --out-dir: the files to read")
        ->type_name("FILE");
    app.add_option("-d,--out-dir", options.outDir,
                   std::string("Write ") + what + " of every file into DIR, named after the file "
                   "(created when missing)")
        ->type_name("DIR");
    AddBatchOptions(app, options.batch);
}

int RunExtract(const char *command, const ExtractOptions &options, const char *none, const Extractor &extractor) {
    std::vector<InputFile> files;
    std::vector<InputProblem> problems;
    std::vector<Target> targets;
    if (!Plan(command, options, files, problems, targets)) return kExitUsage;
    BatchFlags flags = options.batch;
    flags.files = options.args;
    BatchSetup setup;
    setup.command = command;
    setup.tallyOrder = {kWritten, none};
    return RunBatchOn(files, problems, flags, setup, [&](const InputFile &file, size_t index) {
        return ExtractOne(file, targets[index], none, extractor);
    });
}

} // namespace tool
