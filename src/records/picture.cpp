// CPicture: the picture record and its "APIC" / "PIC" payload parsers.
// Only the MIME type (or the ID3v2.2 image format) and the image bytes are
// kept; the picture type and the description are stepped over.
#include "tagmill/picture.h"

#include <cstring>
#include <new>

#include "records/encodings.h"
#include "records/field_copy.h"
#include "records/terminators.h"
#include "tag_access/text_codec.h"

using namespace tagmill;
using namespace tagmill::records;

namespace {

// Width of the description terminator for an encoding byte: only ISO-8859-1
// and UTF-16 with a byte order mark are accepted in picture frames. 0 means
// the encoding is rejected.
size_t TerminatorWidth(unsigned char encoding) {
    if (encoding == kLatin1) return 1;
    if (encoding == kUtf16Bom) return 2;
    return 0;
}

// Offset of the picture data in a payload whose description starts at
// `start`: right after the description terminator, or the payload's end when
// the description is unterminated (the picture is then empty).
size_t PictureDataStart(const unsigned char *payload, size_t size, size_t start, size_t width) {
    if (start > size || size - start < width) return size;
    size_t end = FindAlignedTerminator(payload, size, start, width);
    return end == kNoTerminator ? size : end + width;
}

// ID3v2.2 image formats that map to a MIME type; the comparison is exact.
std::wstring MimeOfImageFormat(const unsigned char *payload, size_t size) {
    if (size < 4) return std::wstring();
    if (std::memcmp(payload + 1, "JPG", 3) == 0) return L"image/jpeg";
    if (std::memcmp(payload + 1, "PNG", 3) == 0) return L"image/png";
    return std::wstring();
}

} // namespace

CTagmill::CPicture::CPicture() = default;

CTagmill::CPicture::~CPicture() { DeleteData(); }

long CTagmill::CPicture::SetData(const unsigned char *data, long size) {
    return ReplaceWithCopy(m_data, m_size, data, size);
}

long CTagmill::CPicture::GetData(unsigned char **data, long &size) const {
    if (data == nullptr) return E_POINTER;
    // A negative capacity comes back as the count, and nothing is copied.
    long count = m_size < size ? m_size : size;
    if (count > 0 && *data == nullptr) return E_POINTER;
    if (count > 0) std::memcpy(*data, m_data.get(), static_cast<size_t>(count));
    size = count;
    return S_OK;
}

long CTagmill::CPicture::GetMime(std::wstring &mime) const { return CopyField(mime, m_mime); }

long CTagmill::CPicture::SetMime(const std::wstring &mime) { return CopyField(m_mime, mime); }

long CTagmill::CPicture::SetAll(const unsigned char *data, long size, const std::wstring &mime) {
    if (data == nullptr) return E_POINTER;
    long hr = SetData(data, size);
    if (Failed(hr)) return hr;
    return SetMime(mime);
}

// APIC: encoding, MIME type (single-byte, zero-terminated), picture type,
// description in the frame's encoding, then the picture to the end.
long CTagmill::CPicture::SetAPIC(const unsigned char *payload, long size) {
    if (payload == nullptr) return E_POINTER;
    if (size < 1) return E_FAIL;
    const size_t total = static_cast<size_t>(size);
    const size_t width = TerminatorWidth(payload[0]);
    if (width == 0) return E_FAIL;
    const size_t mimeEnd = FindZeroByte(payload, total, 1);
    if (mimeEnd == kNoTerminator) return E_FAIL;
    const size_t start = PictureDataStart(payload, total, mimeEnd + 2, width);
    std::wstring mime;
    try {
        mime = text::FromLatin1(reinterpret_cast<const char *>(payload + 1), mimeEnd - 1);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return SetAll(payload + start, static_cast<long>(total - start), mime);
}

// PIC: encoding, a three-character image format, picture type, description,
// then the picture to the end.
long CTagmill::CPicture::SetPIC(const unsigned char *payload, long size) {
    if (payload == nullptr) return E_POINTER;
    if (size < 1) return E_FAIL;
    const size_t total = static_cast<size_t>(size);
    const size_t width = TerminatorWidth(payload[0]);
    if (width == 0) return E_FAIL;
    const size_t start = PictureDataStart(payload, total, 5, width);
    std::wstring mime;
    try {
        mime = MimeOfImageFormat(payload, total);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return SetAll(payload + start, static_cast<long>(total - start), mime);
}

long CTagmill::CPicture::DeleteData() {
    m_data.reset();
    m_size = 0;
    m_mime.clear();
    return S_OK;
}
