// Fixture of the program tests: runs the built tagmill program in a scratch
// directory and catches what it prints, plus builders of hand-made input files.
// Skips when the build has no tool.
#ifndef TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H
#define TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace tooltest {

using testsupport::Bytes;

struct RunResult {
    int status = -1; // exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// A whole file as text.
std::string ReadText(const std::string &path);
std::string SamplePath();
// A minimal untagged AIFF form: a COMM and an SSND chunk.
Bytes Aiff();
// `size` bytes that start with the magic of "png", "jpeg", "gif" or "webp".
Bytes ImageBytes(const std::string &format, size_t size = 64);
// The ID3v2 tag at the start of a file: header and body.
Bytes LeadingTag(const Bytes &file);

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (std::string(TAGMILL_TOOL_PATH).empty()) GTEST_SKIP() << "the tagmill program is not part of this build";
    }
    // Runs the program through the shell with its output streams sent to
    // files in the scratch directory.
    RunResult Run(const std::vector<std::string> &args); // the tagmill program
    // The system interpreter (where python3-mutagen lives) with args.
    RunResult RunPython(const std::vector<std::string> &args) { return Exec("/usr/bin/python3", args); }
    RunResult Exec(const std::string &program, const std::vector<std::string> &args);
    // Runs a sub-command with --json among args, expects success and parses its output.
    nlohmann::json RunJson(const std::vector<std::string> &args);
    std::string Put(const std::string &name, const Bytes &bytes);
    // A copy of the sample under name in the scratch directory.
    std::string CopySample(const std::string &name = "song.mp3");

    testsupport::TempDir dir;
};

} // namespace tooltest

#endif
