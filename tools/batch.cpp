// The batch runner: option wiring, input expansion, ordered printing with the
// progress bar kept out of the way of other output, and the summary.
#include "batch.h"

#include <unistd.h>

#include <iostream>
#include <map>
#include <set>
#include <thread>

#include "commands.h"
#include "ordered_pool.h"
#include "progress.h"

namespace tool {

namespace {

// Counts by name, remembering the order in which names first came.
class Tally {
public:
    void Add(const std::string &name) {
        auto found = m_index.find(name);
        if (found == m_index.end()) {
            m_index.emplace(name, m_counts.size());
            m_counts.emplace_back(name, 1);
        } else {
            ++m_counts[found->second].second;
        }
    }
    size_t Count(const std::string &name) const {
        auto found = m_index.find(name);
        return found == m_index.end() ? 0 : m_counts[found->second].second;
    }
    const std::vector<std::pair<std::string, size_t>> &Counts() const { return m_counts; }

private:
    std::map<std::string, size_t> m_index;
    std::vector<std::pair<std::string, size_t>> m_counts;
};

unsigned WorkerCount(unsigned jobs) {
    if (jobs != 0) return jobs;
    const unsigned processors = std::thread::hardware_concurrency();
    return processors ? processors : 1;
}

// Prints results in order and keeps the counts.
class Printer {
public:
    Printer(const BatchSetup &setup, Progress &progress) : m_setup(setup), m_progress(progress) {}

    void Begin() {
        if (m_setup.jsonArray) std::cout << '[';
    }

    void Report(const std::string &file, const Failure &failure) {
        if (m_setup.failuresToStdout) {
            Stdout(DescribeFailure(file, failure) + "\n");
        } else {
            m_progress.Clear();
            ReportFailure(std::cerr, file, failure);
        }
    }

    void Deliver(const InputFile &file, const FileResult &result) {
        ++m_files;
        if (!result.out.empty()) Output(result.out);
        std::set<std::string> kinds; // a file counts once per kind of failure
        for (const Failure &failure : result.failures) {
            Report(file.path, failure);
            kinds.insert(FailureKind(failure));
        }
        for (const Failure &failure : result.failures)
            if (kinds.erase(FailureKind(failure))) m_failures.Add(FailureKind(failure));
        if (!result.failures.empty()) ++m_failedFiles;
        for (const char *name : result.tallies) m_tallies.Add(name);
    }

    // An input that never reached a task (a missing -r directory, an output
    // name clash) is still one of the files the run was given.
    void Problem(const InputProblem &problem) {
        ++m_files;
        Report(problem.path, problem.failure);
        m_failures.Add(FailureKind(problem.failure));
        ++m_failedFiles;
    }

    void End() {
        if (m_setup.jsonArray) std::cout << (m_outputs ? "\n]\n" : "]\n");
        std::cout.flush();
    }

    std::string Summary() const {
        std::vector<std::pair<std::string, size_t>> tallies;
        for (const char *name : m_setup.tallyOrder) tallies.emplace_back(name, m_tallies.Count(name));
        return SummaryLine(m_files, tallies, m_failedFiles, m_failures.Counts(), m_setup.failedWord);
    }

    size_t FailedFiles() const { return m_failedFiles; }

private:
    void Output(const std::string &text) {
        if (m_setup.jsonArray) {
            Stdout((m_outputs ? ",\n" : "\n") + text);
        } else {
            Stdout((m_setup.blankLineBetween && m_outputs ? "\n" : "") + text);
        }
        ++m_outputs;
    }

    void Stdout(const std::string &text) {
        // The bar shares the terminal only when standard output goes there too.
        if (m_stdoutIsTerminal) m_progress.Clear();
        std::cout << text;
        if (m_stdoutIsTerminal) std::cout.flush();
    }

    const BatchSetup &m_setup;
    Progress &m_progress;
    const bool m_stdoutIsTerminal = ::isatty(STDOUT_FILENO) == 1;
    size_t m_files = 0;
    size_t m_outputs = 0;
    size_t m_failedFiles = 0;
    Tally m_tallies;
    Tally m_failures;
};

} // namespace

void AddBatchOptions(CLI::App &app, BatchFlags &flags) {
    app.add_option("-r,--recursive", flags.roots,
                   "Also work on every MP3 and AIFF file below DIR (repeatable): names ending in .mp3, "
                   ".aif, .aiff or .aifc, and other files whose first bytes are an ID3v2 header, an MPEG "
                   "frame or an AIFF form")
        ->type_name("DIR")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->group("Many files");
    app.add_option("-j,--jobs", flags.jobs, "Work on N files at once (0: one per processor); output stays in input order")
        ->type_name("N")
        ->capture_default_str()
        ->group("Many files");
    app.add_flag("--no-progress", flags.noProgress, "Never show the progress bar")->group("Many files");
    app.add_option("--progress-delay", flags.progressDelay,
                   "Show the progress bar (on a terminal only) once a run has taken this long")
        ->type_name("SECONDS")
        ->capture_default_str()
        ->check(CLI::NonNegativeNumber)
        ->group("Many files");
    app.add_flag("-q,--quiet", flags.quiet, "No summary line at the end")->group("Many files");
}

std::string SummaryLine(size_t files, const std::vector<std::pair<std::string, size_t>> &tallies,
                        size_t failedFiles, const std::vector<std::pair<std::string, size_t>> &failures,
                        const char *failedWord) {
    std::string line = std::to_string(files) + (files == 1 ? " file" : " files");
    for (size_t i = 0; i < tallies.size(); ++i)
        line += (i == 0 ? ": " : ", ") + std::to_string(tallies[i].second) + ' ' + tallies[i].first;
    line += "; ";
    if (failedFiles == 0) return line + "none " + failedWord;
    line += std::to_string(failedFiles) + ' ' + failedWord + " (";
    for (size_t i = 0; i < failures.size(); ++i)
        line += (i == 0 ? "" : ", ") + std::to_string(failures[i].second) + ' ' + failures[i].first;
    return line + ")";
}

int RunBatch(const BatchFlags &flags, const BatchSetup &setup, const FileTask &task) {
    std::vector<InputProblem> problems;
    std::vector<InputFile> files = CollectInputs(flags.files, flags.roots, problems);
    if (setup.distinctFiles) files = DistinctFiles(files);
    return RunBatchOn(files, problems, flags, setup, task);
}

int RunBatchOn(const std::vector<InputFile> &files, const std::vector<InputProblem> &problems,
               const BatchFlags &flags, const BatchSetup &setup, const FileTask &task) {
    if (flags.files.empty() && flags.roots.empty()) {
        std::cerr << "tagmill " << setup.command << ": give one or more files, or -r DIR (see tagmill "
                  << setup.command << " --help)\n";
        return kExitUsage;
    }
    Progress progress(files.size(), !flags.noProgress && Progress::StderrIsTerminal(), flags.progressDelay);
    Printer printer(setup, progress);
    printer.Begin();
    for (const InputProblem &problem : problems) printer.Problem(problem);

    size_t done = 0;
    RunOrdered(
        files.size(), WorkerCount(flags.jobs), [&](size_t i) { return task(files[i], i); },
        [&](size_t i, FileResult &result) {
            printer.Deliver(files[i], result);
            ++done;
        },
        [&] { progress.Update(done); });
    progress.Clear();
    printer.End();

    const bool manyFiles = files.size() + problems.size() > 1 || !flags.roots.empty();
    if (manyFiles && !flags.quiet) std::cerr << "tagmill: " << printer.Summary() << '\n';
    return printer.FailedFiles() ? kExitFileFailed : kExitOk;
}

} // namespace tool
