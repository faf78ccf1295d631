// The per-thread fault hook. Thread-local so that tests running on different
// threads can inject failures without disturbing one another.
#include "platform/faults.h"

namespace {
thread_local tav_fault_hook g_hook = nullptr;
thread_local void *g_user = nullptr;
} // namespace

void tav_set_fault_hook(tav_fault_hook hook, void *user) {
    g_hook = hook;
    g_user = hook ? user : nullptr;
}

bool tav_fault(tav_op op) { return g_hook != nullptr && g_hook(op, g_user) != 0; }

bool tav_fault_armed() { return g_hook != nullptr; }
