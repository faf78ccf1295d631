// CUserDefinedString: a description/value pair read from a user-defined text
// or comment payload and written as a user-defined text payload, either in
// UTF-16 with byte order marks or in single-byte text.
#include "tagmill/user_defined_string.h"

#include <cstring>
#include <new>
#include <vector>

#include "records/encodings.h"
#include "records/field_copy.h"
#include "records/task_block.h"
#include "records/terminators.h"
#include "tag_access/text_codec.h"

using namespace tagmill;
using namespace tagmill::records;

namespace {

const unsigned char kByteOrderMark[2] = {0xFF, 0xFE};

void AppendUnicodeField(std::vector<unsigned char> &out, const std::wstring &field) {
    out.insert(out.end(), kByteOrderMark, kByteOrderMark + 2);
    text::AppendUtf16Le(out, field);
    out.push_back(0);
    out.push_back(0);
}

void AppendNarrowField(std::vector<unsigned char> &out, const std::string &field) {
    out.insert(out.end(), field.begin(), field.end());
    out.push_back(0);
}

// The payload without the size check: encoding byte, description, value.
std::vector<unsigned char> BuildPayload(const std::wstring &description, const std::wstring &value,
                                        bool unicode) {
    std::vector<unsigned char> payload;
    if (unicode) {
        payload.push_back(kUtf16Bom);
        AppendUnicodeField(payload, description);
        AppendUnicodeField(payload, value);
    } else {
        payload.push_back(kLatin1);
        AppendNarrowField(payload, text::ToLatin1(description));
        AppendNarrowField(payload, text::ToLatin1(value));
    }
    return payload;
}

// 9 + 2 × (UTF-16 units) in the Unicode form, 3 + single-byte lengths
// otherwise. May throw std::bad_alloc.
long PayloadSize(const std::wstring &description, const std::wstring &value, bool unicode) {
    if (unicode) return static_cast<long>(2 * (text::Utf16Length(description) + text::Utf16Length(value)) + 9);
    return static_cast<long>(text::ToLatin1(description).size() + text::ToLatin1(value).size() + 3);
}

} // namespace

CTagmill::CUserDefinedString::CUserDefinedString() = default;

CTagmill::CUserDefinedString::CUserDefinedString(const CUserDefinedString &other)
    : m_value(other.m_value), m_description(other.m_description), m_textEncoding(other.m_textEncoding) {
    std::memcpy(m_language, other.m_language, sizeof m_language);
}

CTagmill::CUserDefinedString &CTagmill::CUserDefinedString::operator=(const CUserDefinedString &other) {
    if (this != &other) {
        m_value = other.m_value;
        m_description = other.m_description;
        m_textEncoding = other.m_textEncoding;
        std::memcpy(m_language, other.m_language, sizeof m_language);
    }
    return *this;
}

CTagmill::CUserDefinedString::~CUserDefinedString() { DeleteData(); }

long CTagmill::CUserDefinedString::SetData(const std::wstring &value) { return CopyField(m_value, value); }

long CTagmill::CUserDefinedString::GetData(std::wstring &value) const { return CopyField(value, m_value); }

long CTagmill::CUserDefinedString::SetDescription(const std::wstring &description) {
    return CopyField(m_description, description);
}

long CTagmill::CUserDefinedString::GetDescription(std::wstring &description) const {
    return CopyField(description, m_description);
}

long CTagmill::CUserDefinedString::GetLanguage(unsigned char language[3]) const {
    if (language == nullptr) return E_POINTER;
    std::memcpy(language, m_language, sizeof m_language);
    return S_OK;
}

long CTagmill::CUserDefinedString::SetLanguage(const unsigned char language[3]) {
    if (language == nullptr) return E_POINTER;
    std::memcpy(m_language, language, sizeof m_language);
    return S_OK;
}

// A string field ends after its terminator: a zero pair at an even offset
// for UTF-16, a zero byte otherwise; without one it runs to the end.
unsigned long CTagmill::CUserDefinedString::getStringFieldSize(unsigned char encoding,
                                                               const unsigned char *field,
                                                               unsigned long length) const {
    if (field == nullptr || length == 0) return 0;
    const size_t width = (encoding == kUtf16Bom || encoding == kUtf16Be) ? 2 : 1;
    const size_t end = FindAlignedTerminator(field, length, 0, width);
    return end == kNoTerminator ? length : static_cast<unsigned long>(end + width);
}

// Decodes one field with the class's text payload decoders; an encoding
// without a decoder decodes nothing and leaves out as it was.
long CTagmill::CUserDefinedString::decodeField(unsigned char encoding, const unsigned char *field,
                                               unsigned long length, std::wstring &out) {
    const long size = static_cast<long>(length);
    switch (encoding) {
    case kLatin1:
        return CTagmill::AsciiBinary2Wstring(field, size, out);
    case kUtf16Bom:
    case kUtf16Be:
        return CTagmill::Utf16Binary2Wstring(field, size, out);
    case kUtf8:
        return CTagmill::Utf8Binary2Wstring(field, size, out);
    default:
        return S_OK;
    }
}

long CTagmill::CUserDefinedString::ParseFrameData(const unsigned char *payload, long size, bool withLanguage) {
    if (payload == nullptr) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    const unsigned long total = static_cast<unsigned long>(size);
    m_textEncoding = payload[0];
    unsigned long start = 1;
    if (withLanguage) {
        if (total < 4) return E_UNEXPECTED;
        std::memcpy(m_language, payload + 1, sizeof m_language);
        start = 4;
    }
    const unsigned long fieldSize = getStringFieldSize(m_textEncoding, payload + start, total - start);

    long hr;
    try {
        std::wstring description;
        hr = decodeField(m_textEncoding, payload + start, fieldSize, description);
        if (Failed(hr)) return hr;
        hr = SetDescription(description);
        if (Failed(hr)) return hr;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }

    m_value.clear();
    const unsigned long valueStart = start + fieldSize;
    return decodeField(m_textEncoding, payload + valueStart, total - valueStart, m_value);
}

// 0 when memory runs out while measuring the single-byte form.
long CTagmill::CUserDefinedString::GetFrameDataSize(bool unicode) const {
    try {
        return PayloadSize(m_description, m_value, unicode);
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

long CTagmill::CUserDefinedString::GetFrameData(unsigned char **data, long *size, bool unicode) const {
    if (data == nullptr) return S_OK;
    *data = nullptr;
    if (size == nullptr) return E_POINTER;
    try {
        const long total = PayloadSize(m_description, m_value, unicode);
        if (total <= 0) return E_INVALIDARG;
        std::vector<unsigned char> payload = BuildPayload(m_description, m_value, unicode);
        payload.resize(static_cast<size_t>(total), 0);
        long hr = HandOutCopy(payload.data(), payload.size(), data);
        if (Failed(hr)) return hr;
        *size = total;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

long CTagmill::CUserDefinedString::DeleteData() {
    m_value.clear();
    m_description.clear();
    m_textEncoding = 1;
    return S_OK;
}
