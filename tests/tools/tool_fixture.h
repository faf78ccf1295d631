// Fixture of the program tests: a scratch directory, hand-made input files, and
// a shortcut that runs the program there. Skips when the build has no tool.
#ifndef TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H
#define TAGMILL_TESTS_TOOLS_TOOL_FIXTURE_H

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <functional>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tagmill/tagmill.h"
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
// Bytes that start with an image format's magic: "png", "jpeg", "gif", "webp";
// `size` bytes in all (at least 12).
Bytes ImageBytes(const std::string &format, size_t size = 64);
// The bytes of the ID3v2 tag at the start of an MP3 image: header and body.
Bytes LeadingTag(const Bytes &file);
// Opens a content with the library (MP3 or, by extension, AIFF) in open mode 2,
// lets `edit` put properties and closes; expects every step to succeed.
void EditWithLibrary(const std::string &path, const std::function<void(CTagmill &)> &edit);

class ToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (ToolPath().empty()) GTEST_SKIP() << "the tagmill program is not part of this build";
    }
    RunResult Run(const std::vector<std::string> &args) { return RunTool(args, dir.path()); }
    // Runs a sub-command with --json and parses its output.
    nlohmann::json RunJson(const std::vector<std::string> &args);
    std::string Put(const std::string &name, const Bytes &bytes);
    // A copy of the sample under name in the scratch directory.
    std::string CopySample(const std::string &name = "song.mp3");

    testsupport::TempDir dir;
};

} // namespace tooltest

#endif
