// CGeob: the general encapsulated object record. Payloads are written in
// ISO-8859-1 with an empty file name; on reading, the file name is likewise
// taken to be empty, so the description follows the MIME type at a fixed
// distance that depends only on the text encoding.
#include "tagmill/geob.h"

#include <cstring>
#include <new>

#include "records/encodings.h"
#include "records/field_copy.h"
#include "records/task_block.h"
#include "records/terminators.h"
#include "tag_access/text_codec.h"

using namespace tagmill;
using namespace tagmill::records;

namespace {

// Bytes between the MIME terminator and the description for an empty file
// name: a zero byte (ISO-8859-1, UTF-8), a byte order mark and a zero pair
// (UTF-16 with mark), or a zero pair (UTF-16 big-endian and anything else).
size_t EmptyFileNameLength(unsigned char encoding) {
    if (encoding == kLatin1 || encoding == kUtf8) return 1;
    if (encoding == kUtf16Bom) return 4;
    return 2;
}

// Width of the description terminator, or 0 for an unknown encoding.
size_t DescriptionTerminatorWidth(unsigned char encoding) {
    if (encoding == kLatin1 || encoding == kUtf8) return 1;
    if (encoding == kUtf16Bom || encoding == kUtf16Be) return 2;
    return 0;
}

} // namespace

CTagmill::CGeob::CGeob() : m_mimeType("binary") {}

CTagmill::CGeob::~CGeob() { DeleteData(); }

long CTagmill::CGeob::SetDescription(const std::wstring &description) {
    try {
        std::string ansi = text::ToLatin1(description);
        m_description = description;
        m_ansiDescription.swap(ansi);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

long CTagmill::CGeob::GetDescription(std::wstring &description) const { return CopyField(description, m_description); }

long CTagmill::CGeob::SetMimeType(const std::string &mimeType) { return CopyField(m_mimeType, mimeType); }

long CTagmill::CGeob::GetMimeType(std::string &mimeType) const { return CopyField(mimeType, m_mimeType); }

long CTagmill::CGeob::SetData(const unsigned char *data, long size) {
    return ReplaceWithCopy(m_data, m_size, data, size);
}

long CTagmill::CGeob::GetData(unsigned char **data, long &size) const {
    if (data == nullptr) return S_OK;
    *data = nullptr;
    long hr = HandOutCopy(m_data.get(), static_cast<size_t>(m_size), data);
    if (Failed(hr)) return hr;
    size = m_size;
    return S_OK;
}

long CTagmill::CGeob::GetFrameDataSize() const {
    return m_size + static_cast<long>(m_ansiDescription.size()) + static_cast<long>(m_mimeType.size()) + 4;
}

// 00, MIME type, 00, 00 (empty file name), description, 00, data.
long CTagmill::CGeob::GetFrameData(unsigned char **data, long &size) const {
    if (data == nullptr) return S_OK;
    *data = nullptr;
    const long total = GetFrameDataSize();
    unsigned char *block = AllocateTaskBlock(static_cast<size_t>(total));
    if (block == nullptr) return E_OUTOFMEMORY;
    size_t at = 1;
    std::memcpy(block + at, m_mimeType.data(), m_mimeType.size());
    at += m_mimeType.size() + 2;
    std::memcpy(block + at, m_ansiDescription.data(), m_ansiDescription.size());
    at += m_ansiDescription.size() + 1;
    if (m_size > 0) std::memcpy(block + at, m_data.get(), static_cast<size_t>(m_size));
    size = total;
    *data = block;
    return S_OK;
}

long CTagmill::CGeob::ParseFrameData(const unsigned char *payload, long size) {
    if (payload == nullptr) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    m_size = 0;
    const size_t total = static_cast<size_t>(size);
    const unsigned char encoding = payload[0];

    const size_t mimeEnd = FindZeroByte(payload, total, 1);
    if (mimeEnd == kNoTerminator) return E_INVALIDARG;
    long hr;
    try {
        hr = SetMimeType(std::string(reinterpret_cast<const char *>(payload + 1), mimeEnd - 1));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    if (Failed(hr)) return hr;

    const size_t start = mimeEnd + 1 + EmptyFileNameLength(encoding);
    if (start >= total) return E_FAIL;
    const size_t width = DescriptionTerminatorWidth(encoding);
    if (width == 0) return E_FAIL;
    const size_t end = FindUnalignedTerminator(payload, total, start, width);
    if (end == kNoTerminator) return E_FAIL;
    const size_t dataStart = end + width;

    // The decoders' own failures (a UTF-8 or UTF-16 field under two bytes)
    // just leave the description empty.
    std::wstring description;
    const unsigned char *field = payload + start;
    const long fieldSize = static_cast<long>(dataStart - start);
    if (encoding == kLatin1) {
        CTagmill::AsciiBinary2Wstring(field, fieldSize, description);
    } else if (encoding == kUtf8) {
        CTagmill::Utf8Binary2Wstring(field, fieldSize, description);
    } else {
        CTagmill::Utf16Binary2Wstring(field, fieldSize, description);
    }

    hr = SetData(payload + dataStart, static_cast<long>(total - dataStart));
    if (Failed(hr)) return hr;
    return SetDescription(description);
}

long CTagmill::CGeob::DeleteData() {
    m_data.reset();
    m_size = 0;
    m_mimeType.clear();
    m_description.clear();
    m_ansiDescription.clear();
    return S_OK;
}
