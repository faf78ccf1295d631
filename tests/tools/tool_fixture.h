// Fixture of the program tests: a scratch directory, hand-made input files, and
// a shortcut that runs the program there. Skips when the build has no tool.
#ifndef TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H
#define TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tool_runner.h"

namespace tooltest {

using testsupport::Bytes;

// 128-byte ID3v1.1 tag.
Bytes Id3v1(const std::string &title, uint8_t track, uint8_t genre);
// A minimal AIFF form with a COMM and an SSND chunk and, when tag is not empty,
// an "ID3 " chunk holding it.
Bytes Aiff(const Bytes &tag);
// Path of the committed sample file.
std::string SamplePath();

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ToolPath().empty()) GTEST_SKIP() << "the tagmill program is not part of this build";
    }
    RunResult Run(const std::vector<std::string> &args) { return RunTool(args, dir.path()); }
    // Runs a sub-command with --json and parses its output.
    nlohmann::json RunJson(const std::vector<std::string> &args);
    std::string Put(const std::string &name, const Bytes &bytes);

    testsupport::TempDir dir;
};

} // namespace tooltest

#endif
