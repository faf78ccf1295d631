// Helpers for the crash-safety tests of the commits: scratch directories on
// chosen file systems, hidden staging files left beside a file, fault hooks
// that record the operations a call makes and fail one of them, and a child
// process to kill mid-commit.
#ifndef TAGMILL_TEST_CRASH_SUPPORT_H
#define TAGMILL_TEST_CRASH_SUPPORT_H

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tagmill/platform.h"

namespace testsupport {

// A scratch directory `home`, and a second directory inside it or, when
// crossDevice, on another file system (a tmpfs such as /dev/shm).
struct DirPair { bool crossDevice = false; std::unique_ptr<TempDir> home, other; std::string second; };

// Runs body with the second directory on home's file system, then on another
// one; the test is skipped when the machine has none.
void ForEachFileSystemLayout(const std::function<void(const DirPair &)> &body);

// Staging files in a directory: hidden ".<name>.id3XXXXXX" files, or on
// Windows the system's unique "id3XXXX.tmp" names.
std::vector<std::string> StagingLeftovers(const std::string &directory);

// Records every operation that the primitives consult the hook about.
struct OpRecorder { std::vector<tav_op> ops; };
inline int RecordOp(tav_op op, void *recorder) { return static_cast<OpRecorder *>(recorder)->ops.push_back(op), 0; }

// Fails the operation at index `target` (0-based, counting every consulted
// operation) and records which one that was.
struct FailAtIndex { size_t target; size_t seen = 0; bool fired = false; tav_op op = TAV_OP_OPEN; };
int FailOpAt(tav_op op, void *plan);

// Installs a hook for the lifetime of the object.
struct ScopedFaultHook {
    ScopedFaultHook(tav_fault_hook hook, void *user) { tav_set_fault_hook(hook, user); }
    ~ScopedFaultHook() { tav_set_fault_hook(nullptr, nullptr); }
    ScopedFaultHook(const ScopedFaultHook &) = delete;
};

// A child process that runs body(args) and exits with its result, unless the
// test kills it first. POSIX forks, so the body runs in a copy of the test;
// Windows has no fork and starts this test program again with only the test
// KILL_TEST_CHILD(suite, body) defines selected (disabled, so that no normal
// run starts it) and the arguments in the environment; that takes about 0.4 s
// under Wine.
using ChildArgs = std::vector<std::string>;
using ChildBody = int (*)(const ChildArgs &);
class Child {
public:
    Child(const char *suite, ChildBody body, const ChildArgs &args);
    ~Child() { Kill(); }
    Child(const Child &) = delete;
    bool started() const { return m_child != -1; }
    // Ends it after the delay, wherever it is then; returns once it is gone.
    void Kill(std::chrono::microseconds after = std::chrono::microseconds(0));
    int Wait(); // its exit code once it ends by itself; -1 when killed

private:
    intptr_t m_child = -1; // the process ID, or on Windows the process handle
};

// Polls `done` every 100 us for up to `seconds`; whether it came true.
bool PollUntil(const std::function<bool()> &done, int seconds);

#ifdef _WIN32
constexpr bool kChildStartsSlowly = true;
void RunAsKillTestChild(ChildBody body);
#define KILL_TEST_CHILD(suite, body) \
    TEST(suite, DISABLED_KillTestChild) { testsupport::RunAsKillTestChild(body); }
#else
constexpr bool kChildStartsSlowly = false;
#define KILL_TEST_CHILD(suite, body)
#endif

} // namespace testsupport

#endif
