// The progress bar of long runs over many files: one line on standard error,
// redrawn in place, with files done out of the total, the rate and the time
// left. It shows only when standard error is a terminal and the run has taken
// longer than a delay (a second by default), so short runs and redirected
// output stay clean.
#ifndef TAGMILL_TOOLS_PROGRESS_H
#define TAGMILL_TOOLS_PROGRESS_H

#include <chrono>
#include <cstddef>
#include <string>

namespace tool {

class Progress {
public:
    using Clock = std::chrono::steady_clock;

    // enabled: whether a bar may be drawn at all (terminal and not turned off).
    Progress(size_t total, bool enabled, double delaySeconds);

    // Files finished so far; redraws at most ten times a second.
    void Update(size_t done);
    // Removes the bar from the line, so that other text can be written; the
    // next Update draws it again.
    void Clear();
    bool Visible() const { return m_visible; }

    // The bar's text for a state of the run (no terminal control characters).
    static std::string Render(size_t done, size_t total, double elapsedSeconds, size_t width);

    // Standard error is a terminal.
    static bool StderrIsTerminal();

private:
    void Draw(size_t done);

    size_t m_total;
    bool m_enabled;
    double m_delay;
    Clock::time_point m_start;
    Clock::time_point m_lastDraw;
    size_t m_done = 0;
    bool m_visible = false;
};

} // namespace tool

#endif
