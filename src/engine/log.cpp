// The engine's two log hooks. Both do nothing until a host installs its own
// callbacks; the engine only ever calls them, so they never change a result.
// The hooks are process-wide and may be swapped while other threads log, hence
// the atomics.
#include "engine/log.h"

#include <atomic>

#include "tagmill/engine.h"

namespace {

void trace_nothing(const char *) {}
void error_nothing(const char *, const char *) {}

std::atomic<tav_trace_hook> g_trace{trace_nothing};
std::atomic<tav_error_hook> g_error{error_nothing};

} // namespace

void tav_set_log_hooks(tav_trace_hook trace, tav_error_hook error) {
    g_trace.store(trace ? trace : trace_nothing);
    g_error.store(error ? error : error_nothing);
}

void tav_trace(const char *text) { g_trace.load()(text); }

void tav_log_error(const char *format, const char *function) { g_error.load()(format, function); }
