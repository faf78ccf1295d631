// Reading text payloads: the payload of the first frame with a frame ID, and
// its decoding by the encoding byte in front (0 single-byte, 1 UTF-16 with a
// byte-order mark, 2 UTF-16 big-endian, 3 UTF-8) into a wide string. Only the
// first value of a payload is read: decoding stops at the first null.
#include <algorithm>
#include <new>
#include <vector>

#include "tag_access/frame_data.h"
#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {
enum : unsigned char { kLatin1 = 0, kUtf16 = 1, kUtf16Be = 2, kUtf8 = 3 };
} // namespace

long CTagmill::Utf8Binary2Wstring(const unsigned char *data, long size, std::wstring &out) {
    if (!data) return E_POINTER;
    // A UTF-8 text needs at least one character and its terminator.
    if (size < 2) return E_FAIL;
    try {
        std::wstring text = text::DecodeUtf8(data, static_cast<size_t>(size));
        out.swap(text);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// A leading FF FE mark means little-endian; FE FF or no mark at all means
// big-endian. An odd trailing byte is read as the high byte of a last unit
// whose low byte is zero.
long CTagmill::Utf16Binary2Wstring(const unsigned char *data, long size, std::wstring &out) {
    if (!data) return E_POINTER;
    if (size < 2) return E_FAIL;
    try {
        const bool littleEndian = data[0] == 0xFF && data[1] == 0xFE;
        const bool bigEndianMark = data[0] == 0xFE && data[1] == 0xFF;
        const size_t skip = (littleEndian || bigEndianMark) ? 2 : 0;
        const size_t count = static_cast<size_t>(size) - skip;
        // Two zero bytes after the text terminate it whatever its length.
        std::vector<char> buffer(count + 2, 0);
        std::copy(data + skip, data + skip + count, buffer.begin());
        if (!littleEndian) {
            long hr = SwabData(buffer, static_cast<long>(buffer.size()));
            if (Failed(hr)) return hr;
        }
        std::wstring text = text::DecodeUtf16(reinterpret_cast<const unsigned char *>(buffer.data()),
                                              buffer.size(), false);
        out.swap(text);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Single-byte text needs no terminator: one byte is a valid text, and so is
// none at all.
long CTagmill::AsciiBinary2Wstring(const unsigned char *data, long size, std::wstring &out) {
    if (!data) return E_POINTER;
    if (size < 0) return E_FAIL;
    try {
        std::wstring text = text::FromLatin1(reinterpret_cast<const char *>(data), static_cast<size_t>(size));
        out.swap(text);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Swaps the bytes of each pair among the first size bytes; the buffer then
// holds exactly size bytes, and with an odd size its last byte is zero.
long CTagmill::SwabData(std::vector<char> &buffer, long size) {
    if (buffer.empty()) return E_POINTER;
    if (size < 0) return E_FAIL;
    try {
        const size_t n = static_cast<size_t>(size);
        std::vector<char> swapped(n, 0);
        auto at = [&](size_t i) { return i < buffer.size() ? buffer[i] : char(0); };
        for (size_t i = 0; i + 1 < n; i += 2) {
            swapped[i] = at(i + 1);
            swapped[i + 1] = at(i);
        }
        buffer.swap(swapped);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

long CTagmill::GetV2Data(unsigned int frameId, unsigned int &size, std::vector<unsigned char> &payload) {
    size = 0;
    uint32_t count = 0;
    if (tav_id3_v2_get_frame_num(&m_context, frameId, &count) != TAV_OK) return E_FAIL;
    if (count == 0) return E_PROPERTY_ABSENT;
    tav_id3_v2_frame_header header{};
    uint32_t delivered = 0;
    const long hr = framedata::Read(&m_context, frameId, 0, header, payload, delivered);
    if (Succeeded(hr)) size = delivered;
    return hr;
}

long CTagmill::GetV2Data2(long frameId, std::wstring &text) {
    unsigned int size = 0;
    std::vector<unsigned char> payload;
    long hr = GetV2Data(static_cast<unsigned int>(frameId), size, payload);
    if (Failed(hr)) return hr;
    if (size == 0) return E_FAIL;
    // The encoding byte alone is a present but empty text.
    if (size == 1) return S_OK;
    const unsigned char *body = payload.data() + 1;
    const long length = static_cast<long>(size) - 1;
    switch (payload[0]) {
    case kLatin1: return AsciiBinary2Wstring(body, length, text);
    case kUtf16:
    case kUtf16Be: return Utf16Binary2Wstring(body, length, text);
    case kUtf8: return Utf8Binary2Wstring(body, length, text);
    default: return E_FAIL;
    }
}
