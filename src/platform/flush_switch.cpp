// The per-thread flush switch (callers who prefer speed to surviving a power
// cut turn every flush off) and the observer that tests watch flushes with.
#include "platform/flush_switch.h"

#include "tagmill/platform.h"

namespace {
thread_local bool g_flushes = true;
thread_local tav_flush_observer g_observer = nullptr;
thread_local void *g_observer_user = nullptr;
} // namespace

void tav_set_flushes(int32_t enabled) { g_flushes = enabled != 0; }

int32_t tav_flushes_enabled(void) { return g_flushes ? 1 : 0; }

void tav_set_flush_observer(tav_flush_observer observer, void *user) {
    g_observer = observer;
    g_observer_user = observer ? user : nullptr;
}

void tav_flushed(int32_t handle) {
    if (g_observer) g_observer(handle, g_observer_user);
}
