// Test helpers for engine contexts: an owning wrapper that destroys the
// context, and a capture of the engine's log hooks.
#ifndef TAGMILL_TEST_CONTEXT_SUPPORT_H
#define TAGMILL_TEST_CONTEXT_SUPPORT_H

#include <string>
#include <vector>

#include "support/test_support.h"
#include "tagmill/engine.h"

namespace testsupport {

// An engine context destroyed on scope exit when its creation succeeded;
// before any creation its handle says "no file".
class Context {
public:
    Context() { m_context.handle = -1; }
    ~Context();
    Context(const Context &) = delete;

    int32_t OpenFile(const std::wstring &path, int32_t mode, int32_t aiff = 0,
                     const tav_id3_v2_header *header = nullptr);
    int32_t OpenMemory(const Bytes &bytes);
    int32_t Destroy();
    tav_id3_context *get() { return &m_context; }
    tav_id3_context *operator->() { return &m_context; }

private:
    int32_t Track(int32_t result);
    tav_id3_context m_context{};
    bool m_live = false;
};

// Installs hooks that record every trace text and every error, the latter as
// the format with its function name substituted; restores the defaults on
// destruction.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    std::vector<std::string> traces;
    std::vector<std::string> errors;
};

} // namespace testsupport

#endif
