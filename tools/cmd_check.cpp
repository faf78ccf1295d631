// `tagmill check FILE... [-r DIR]`: read every file and list those whose tags
// are broken or unreadable, one line per finding on standard output
// ("FILE: reason[: code]"). Never writes, except that opening a file completes
// the journal of a commit that was interrupted, which is then reported. Exit
// status 1 when anything was found.
#include <memory>

#include <tagmill/engine.h>

#include "batch.h"
#include "commands.h"
#include "tag_check.h"
#include "utf8.h"

namespace tool {

namespace {

constexpr const char *kWithV2 = "with ID3v2";
constexpr const char *kWithV1 = "with ID3v1";

int RunCheck(const BatchFlags &flags) {
    BatchSetup setup;
    setup.command = "check";
    setup.failuresToStdout = true;
    setup.tallyOrder = {kWithV2, kWithV1};
    setup.failedWord = "with problems";
    return RunBatch(flags, setup, [](const InputFile &file, size_t) {
        const bool interrupted = tav_id3_journal_pending(Widen(file.path).c_str()) != 0;
        CheckOutcome outcome = CheckFile(file.path);
        FileResult result;
        result.failures = std::move(outcome.findings);
        if (interrupted)
            result.failures.insert(result.failures.begin(),
                                   {"a commit was interrupted; its journal was completed on opening", 0, "journal"});
        if (outcome.hasV2) result.tallies.push_back(kWithV2);
        if (outcome.hasV1) result.tallies.push_back(kWithV1);
        return result;
    });
}

} // namespace

Command AddCheckCommand(CLI::App &program) {
    auto flags = std::make_shared<BatchFlags>();
    CLI::App *app = program.add_subcommand(
        "check", "Read every file and list those whose tags are broken or unreadable, with the reason "
                 "(never writes)");
    app->add_option("files", flags->files, "Files to check");
    AddBatchOptions(*app, *flags);
    return {app, [flags] { return RunCheck(*flags); }};
}

} // namespace tool
