// Implementation of the crash-safety test helpers.
#include "support/crash_support.h"

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace testsupport {

namespace {

#ifdef _WIN32
// Windows has no memory file system to stage a move across, but Wine shows
// the host's tmpfs on drive Z:, and its moves fail across host file systems
// as they do across volumes.
std::string OtherFileSystemRoot(const std::string &) {
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    return wine && GetFileAttributesW(L"Z:\\dev\\shm") != INVALID_FILE_ATTRIBUTES ? "Z:/dev/shm" : "";
}
#else
std::string OtherFileSystemRoot(const std::string &than) {
    struct stat home, st;
    for (const char *root : {"/dev/shm", "/run/shm", "/run/user", "/var/tmp", "/tmp"})
        if (stat(than.c_str(), &home) == 0 && stat(root, &st) == 0 && S_ISDIR(st.st_mode) && access(root, W_OK) == 0 &&
            st.st_dev != home.st_dev)
            return root;
    return "";
}
#endif

} // namespace

void ForEachFileSystemLayout(const std::function<void(const DirPair &)> &body) {
    for (bool crossDevice : {false, true}) {
        SCOPED_TRACE(crossDevice ? "second directory on another file system" : "second directory on the same one");
        DirPair dirs;
        dirs.crossDevice = crossDevice;
        dirs.home.reset(new TempDir());
        dirs.second = dirs.home->file("second");
        if (crossDevice) {
            const std::string root = OtherFileSystemRoot(dirs.home->path());
            if (root.empty()) GTEST_SKIP() << "no second file system";
            ScopedTmpDir scoped(root); // TempDir picks its parent from $TMPDIR
            dirs.other.reset(new TempDir());
            dirs.second = dirs.other->path();
        } else {
            ASSERT_TRUE(MakeDirectory(dirs.second));
        }
        body(dirs);
        if (testing::Test::HasFatalFailure()) return;
    }
}

std::vector<std::string> StagingLeftovers(const std::string &directory) {
#ifdef _WIN32
    return TempFilesWithPrefix(directory, "id3"); // the system's unique names
#endif
    std::vector<std::string> names;
    for (const std::string &name : TempFilesWithPrefix(directory, "."))
        if (name.find(".id3") != std::string::npos) names.push_back(name);
    return names;
}

int FailOpAt(tav_op op, void *plan) {
    auto *p = static_cast<FailAtIndex *>(plan);
    if (p->seen++ != p->target) return 0;
    p->fired = true;
    p->op = op;
    return 1;
}

bool PollUntil(const std::function<bool()> &done, int seconds) {
    for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds); !done();
         std::this_thread::sleep_for(std::chrono::microseconds(100)))
        if (std::chrono::steady_clock::now() > deadline) return false;
    return true;
}

void Child::Kill(std::chrono::microseconds after) {
    std::this_thread::sleep_for(after);
    if (!started()) return;
#ifdef _WIN32
    TerminateProcess(reinterpret_cast<HANDLE>(m_child), UINT(-1));
#else
    kill(pid_t(m_child), SIGKILL);
#endif
    Wait();
}

#ifdef _WIN32
const wchar_t kChildArguments[] = L"TAGMILL_KILL_TEST_CHILD"; // one argument a line

Child::Child(const char *suite, ChildBody, const ChildArgs &args) {
    std::wstring joined, program(MAX_PATH, L'\0');
    for (const std::string &arg : args) joined += Widen(arg) + L'\n';
    program.resize(GetModuleFileNameW(nullptr, &program[0], MAX_PATH));
    std::wstring command = L"\"" + program + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + Widen(suite) +
                                 L".DISABLED_KillTestChild";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION child = {};
    SetEnvironmentVariableW(kChildArguments, joined.c_str()); // the child inherits the environment
    // Detached: the child's test report would only clutter the parent's.
    if (CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr,
                       &startup, &child)) {
        CloseHandle(child.hThread);
        m_child = reinterpret_cast<intptr_t>(child.hProcess);
    }
    SetEnvironmentVariableW(kChildArguments, nullptr);
}

int Child::Wait() {
    if (!started()) return -1;
    const HANDLE process = reinterpret_cast<HANDLE>(m_child);
    DWORD code = DWORD(-1);
    if (WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    m_child = -1;
    return int(code);
}

void RunAsKillTestChild(ChildBody body) {
    const wchar_t *joined = _wgetenv(kChildArguments);
    if (!joined) GTEST_SKIP() << "runs only as the child of a kill test";
    ChildArgs args;
    const std::string all = Narrow(joined);
    for (size_t at = 0, end; (end = all.find('\n', at)) != std::string::npos; at = end + 1)
        args.push_back(all.substr(at, end - at));
    _exit(body(args));
}
#else
Child::Child(const char *, ChildBody body, const ChildArgs &args) : m_child(fork()) {
    if (m_child == 0) _exit(body(args));
}

int Child::Wait() {
    int status = 0;
    const bool exited = started() && waitpid(pid_t(m_child), &status, 0) == m_child && WIFEXITED(status);
    m_child = -1;
    return exited ? WEXITSTATUS(status) : -1;
}
#endif

} // namespace testsupport
