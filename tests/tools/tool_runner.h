// Runs the built tagmill program with arguments and captures its exit status,
// standard output and standard error.
#ifndef TAGMILL_TESTS_TOOLS_TOOL_RUNNER_H
#define TAGMILL_TESTS_TOOLS_TOOL_RUNNER_H

#include <string>
#include <vector>

namespace tooltest {

struct RunResult {
    int status = -1; // exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Path of the program under test; empty when the build has no tool.
std::string ToolPath();

// Runs the program with args; scratchDir receives the captured streams.
RunResult RunTool(const std::vector<std::string> &args, const std::string &scratchDir);

} // namespace tooltest

#endif
