// Running one sub-command over many files: the shared options (-r, -j,
// progress, quiet), a pool of worker threads, output in input order, failure
// reports, and the summary line at the end.
//
// Each file is handled by a task that returns what the file gave: its output
// text, its failures and the summary counters it adds to. Tasks run on worker
// threads, each with its own CTagmill object (tag objects share nothing), and
// the main thread prints the results strictly in input order as they become
// ready, so `-j 4` prints exactly what `-j 1` prints.
#ifndef TAGMILL_TOOLS_BATCH_H
#define TAGMILL_TOOLS_BATCH_H

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "inputs.h"
#include "report.h"

namespace tool {

struct BatchFlags {
    std::vector<std::string> files;
    std::vector<std::string> roots; // -r DIR, repeatable
    unsigned jobs = 1;              // 0: one per processor
    bool noProgress = false;
    double progressDelay = 1.0;
    bool quiet = false;             // no summary line
};

// Registers -r/--recursive, -j/--jobs, --no-progress, --progress-delay and
// -q/--quiet. The positional file list is left to the command.
void AddBatchOptions(CLI::App &app, BatchFlags &flags);

struct FileResult {
    std::string out;                   // for standard output; a JSON element in JSON runs
    std::vector<Failure> failures;     // this file's failures, in order
    std::vector<const char *> tallies; // summary counters this file adds one to
};

// The task gets the file and its position in the run (0 for the first file).
using FileTask = std::function<FileResult(const InputFile &, size_t)>;

struct BatchSetup {
    const char *command = "";              // sub-command name, for messages
    bool jsonArray = false;                // outputs are elements of one JSON array
    bool blankLineBetween = false;         // text blocks separated by an empty line
    bool failuresToStdout = false;         // failures are the command's findings (check)
    // Work on each file once however often it was named: two workers writing
    // the same file at once would race.
    bool distinctFiles = false;
    std::vector<const char *> tallyOrder;  // counters in the order the summary names them
    const char *failedWord = "failed";     // "3 failed", "3 with problems"
};

// Expands the inputs, runs the task on each and prints as described above.
// Returns kExitOk, kExitFileFailed when any file (or -r directory) failed, or
// kExitUsage when there is nothing to work on.
int RunBatch(const BatchFlags &flags, const BatchSetup &setup, const FileTask &task);

// As RunBatch, with the inputs already collected (commands that check them
// first, e.g. to plan output names).
int RunBatchOn(const std::vector<InputFile> &files, const std::vector<InputProblem> &problems,
               const BatchFlags &flags, const BatchSetup &setup, const FileTask &task);

// The summary line, e.g. "5 files: 4 with ID3v2, 2 with ID3v1; 1 failed
// (1 E_FILE_NOT_FOUND)". tallies and failures map names to counts in the
// order given.
std::string SummaryLine(size_t files, const std::vector<std::pair<std::string, size_t>> &tallies,
                        size_t failedFiles, const std::vector<std::pair<std::string, size_t>> &failures,
                        const char *failedWord);

} // namespace tool

#endif
