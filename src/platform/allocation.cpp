// The library's heap: every block the tag engine allocates comes from here and
// goes back through tav_free, so that blocks can be handed between the engine
// and its callers. Allocation failures can be injected through the fault hook.
#include <cstdlib>
#include <cwchar>

#include "platform/faults.h"
#include "tagmill/platform.h"

// A zero size still yields a distinct block, so that null always means failure.
void *tav_malloc(size_t size) {
    if (tav_fault(TAV_OP_ALLOC)) return nullptr;
    return std::malloc(size ? size : 1);
}

// Growing nothing gives nothing: a null block is never turned into a new one.
// A zero size keeps a one-byte block rather than freeing the caller's block
// behind a null result.
void *tav_realloc(void *block, size_t size) {
    if (!block) return nullptr;
    if (tav_fault(TAV_OP_ALLOC)) return nullptr;
    return std::realloc(block, size ? size : 1);
}

void tav_free(void *block) { std::free(block); }

void *tav_rud_malloc(size_t size) { return tav_malloc(size); }

void *tav_rud_calloc(size_t size) {
    if (tav_fault(TAV_OP_ALLOC)) return nullptr;
    return std::calloc(1, size ? size : 1);
}

// Copies the first count characters of text (count + 1 wide characters in
// all, the last one zero). The copy stops early at a terminator within count;
// the rest of the block is then zero.
wchar_t *tav_rud_strndup(const wchar_t *text, size_t count) {
    if (!text || count >= SIZE_MAX / sizeof(wchar_t)) return nullptr;
    wchar_t *copy = static_cast<wchar_t *>(tav_rud_calloc((count + 1) * sizeof(wchar_t)));
    if (!copy) return nullptr;
    size_t length = 0;
    while (length < count && text[length] != 0) ++length;
    std::wmemcpy(copy, text, length);
    return copy;
}

void tav_rud_free(void *block) { tav_free(block); }
