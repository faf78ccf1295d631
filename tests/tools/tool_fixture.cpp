// Running the program and the input builders of the program tests.
#include "tool_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

#include <cstdlib>

#include "support/frame_extract.h"

namespace tooltest {

using namespace testsupport;

namespace {

#ifdef _WIN32
// Double quotes keep an argument together for the command interpreter and the
// program's own parsing; a quote inside is escaped with a backslash.
std::string Quote(const std::string &text) {
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\\\"") : std::string(1, c);
    return quoted + "\"";
}

// The interpreter drops the outer pair of quotes of the whole line.
int RunCommand(const std::string &command) {
    const std::wstring line = L"\"" + Widen(command) + L"\"";
    return _wsystem(line.c_str());
}

// Build paths are the build machine's ("/..."); the system makes them full
// paths on the current drive.
std::string ToolPath() {
    wchar_t full[MAX_PATH];
    const std::wstring path = Widen(TAGMILL_TOOL_PATH);
    return GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr) ? Narrow(full) : TAGMILL_TOOL_PATH;
}
#else
// Single quotes keep every byte of an argument from the shell.
std::string Quote(const std::string &text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

int RunCommand(const std::string &command) {
    const int wstatus = std::system(command.c_str());
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

std::string ToolPath() { return TAGMILL_TOOL_PATH; }
#endif

} // namespace

std::string ReadText(const std::string &path) {
    const Bytes bytes = ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string SamplePath() { return std::string(TAGMILL_SOURCE_DIR) + "/samples/sample.mp3"; }

Bytes Aiff() {
    const Bytes comm = Concat({Bytes{0, 1, 0, 0, 0, 0, 0, 16}, Bytes{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}});
    return Form("AIFF", {{"COMM", comm}, {"SSND", Bytes(8, 0)}});
}

Bytes ImageBytes(const std::string &format, size_t size) {
    Bytes bytes = format == "png"    ? Bytes{0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A}
                  : format == "jpeg" ? Bytes{0xFF, 0xD8, 0xFF, 0xE0}
                  : format == "gif"  ? Ascii("GIF89a")
                                     : Concat({Ascii("RIFF"), Bytes{0x20, 0, 0, 0}, Ascii("WEBP")});
    for (size_t i = bytes.size(); i < size; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 1));
    return bytes;
}

Bytes LeadingTag(const Bytes &file) { return Bytes(file.begin(), file.begin() + ParseTag(file).length()); }

RunResult ToolTest::Exec(const std::string &program, const std::vector<std::string> &args) {
    std::string command = Quote(program);
    for (const std::string &arg : args) command += " " + Quote(arg);
    const std::string out = dir.file("tool.stdout"), err = dir.file("tool.stderr");
    const int status = RunCommand(command + " >" + Quote(out) + " 2>" + Quote(err));
    return {status, ReadText(out), ReadText(err)};
}

RunResult ToolTest::Run(const std::vector<std::string> &args) { return Exec(ToolPath(), args); }

nlohmann::json ToolTest::RunJson(const std::vector<std::string> &args) {
    const RunResult result = Run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return nlohmann::json::parse(result.out);
}

std::string ToolTest::CopySample(const std::string &name) { return Put(name, ReadFile(SamplePath())); }

std::string ToolTest::Put(const std::string &name, const Bytes &bytes) {
    WriteFile(dir.file(name), bytes);
    return dir.file(name);
}

} // namespace tooltest
