// Implementation of the engine-context test helpers.
#include "support/context_support.h"

#include <cstdio>

namespace testsupport {

Context::~Context() {
    if (m_live) tav_id3_destroy_context(&m_context);
}

int32_t Context::Track(int32_t result) {
    m_live = result == TAV_OK;
    return result;
}

int32_t Context::OpenFile(const std::wstring &path, int32_t mode, int32_t aiff, const tav_id3_v2_header *header) {
    return Track(tav_id3_create_context2(path.c_str(), mode, header, aiff, &m_context));
}

int32_t Context::OpenMemory(const Bytes &bytes) {
    return Track(tav_id3_create_context_from_memory(bytes.data(), static_cast<uint32_t>(bytes.size()), 0, nullptr,
                                                    &m_context));
}

int32_t Context::Destroy() {
    m_live = false;
    return tav_id3_destroy_context(&m_context);
}

namespace {
LogCapture *g_capture = nullptr;
} // namespace

LogCapture::LogCapture() {
    g_capture = this;
    tav_set_log_hooks([](const char *text) { g_capture->traces.push_back(text); },
                      [](const char *format, const char *function) {
                          char line[512];
                          std::snprintf(line, sizeof line, format, function);
                          g_capture->errors.push_back(line);
                      });
}

LogCapture::~LogCapture() {
    tav_set_log_hooks(nullptr, nullptr);
    g_capture = nullptr;
}

} // namespace testsupport
