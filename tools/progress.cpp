// Progress bar drawing: "\r" and an erase-line sequence rewrite the one line;
// the bar's width follows the terminal's.
#include "progress.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include <cstdio>

namespace tool {

namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

size_t TerminalWidth() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO console;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &console)) {
        const int columns = console.srWindow.Right - console.srWindow.Left + 1;
        if (columns >= 20) return static_cast<size_t>(columns);
    }
#else
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col >= 20) return size.ws_col;
#endif
    return 80;
}

std::string Duration(double seconds) {
    const long total = static_cast<long>(seconds + 0.5);
    char text[32];
    if (total >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", total / 60, total % 60);
    return text;
}

} // namespace

Progress::Progress(size_t total, bool enabled, double delaySeconds)
    : m_total(total), m_enabled(enabled), m_delay(delaySeconds), m_start(Clock::now()), m_lastDraw() {}

#ifdef _WIN32
bool Progress::StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
#else
bool Progress::StderrIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }
#endif

std::string Progress::Render(size_t done, size_t total, double elapsedSeconds, size_t width) {
    const double rate = elapsedSeconds > 0 ? done / elapsedSeconds : 0;
    char counts[96];
    std::snprintf(counts, sizeof counts, " %zu/%zu files  %.1f files/s  ETA ", done, total, rate);
    std::string tail = counts;
    tail += rate > 0 && done < total ? Duration((total - done) / rate) : (done >= total ? "0:00" : "--:--");

    // "[####......]" takes what the numbers leave of the line, within limits.
    const size_t room = width > tail.size() + 3 ? width - tail.size() - 3 : 10;
    const size_t bar = room < 10 ? 10 : (room > 40 ? 40 : room);
    const size_t filled = total ? bar * (done > total ? total : done) / total : bar;
    return "[" + std::string(filled, '#') + std::string(bar - filled, '.') + "]" + tail;
}

void Progress::Update(size_t done) {
    m_done = done;
    if (!m_enabled) return;
    const auto now = Clock::now();
    if (std::chrono::duration<double>(now - m_start).count() < m_delay) return;
    // Also after a Clear: output between files must not make the bar flicker.
    if (now - m_lastDraw < kRedrawInterval) return;
    Draw(done);
    m_lastDraw = now;
}

void Progress::Draw(size_t done) {
    const double elapsed = std::chrono::duration<double>(Clock::now() - m_start).count();
    const std::string line = Render(done, m_total, elapsed, TerminalWidth() - 1);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    m_visible = true;
}

void Progress::Clear() {
    if (!m_visible) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_visible = false;
}

} // namespace tool
