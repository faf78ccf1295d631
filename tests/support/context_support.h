// Test helper for engine contexts: an owning wrapper that destroys the
// context.
#ifndef TAGMILL_TEST_CONTEXT_SUPPORT_H
#define TAGMILL_TEST_CONTEXT_SUPPORT_H

#include "support/test_support.h"
#include "tagmill/engine.h"

namespace testsupport {

// An engine context destroyed on scope exit when its creation succeeded;
// before any creation its handle says "no file".
class Context {
public:
    Context() { m_context.handle = -1; }
    ~Context() { Destroy(); }
    Context(const Context &) = delete;

    int32_t OpenFile(const std::wstring &path, int32_t mode, int32_t aiff = 0,
                     const tav_id3_v2_header *header = nullptr) {
        return Track(tav_id3_create_context2(path.c_str(), mode, header, aiff, &m_context));
    }
    int32_t OpenMemory(const Bytes &bytes) {
        const uint32_t size = static_cast<uint32_t>(bytes.size());
        return Track(tav_id3_create_context_from_memory(bytes.data(), size, 0, nullptr, &m_context));
    }
    int32_t Destroy() { return std::exchange(m_live, false) ? tav_id3_destroy_context(&m_context) : TAV_OK; }
    tav_id3_context *get() { return &m_context; }
    tav_id3_context *operator->() { return &m_context; }

private:
    int32_t Track(int32_t result) { return m_live = result == TAV_OK, result; }
    tav_id3_context m_context{};
    bool m_live = false;
};

} // namespace testsupport

#endif
