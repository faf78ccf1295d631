// Picture property (4640): reading the first "APIC" ("PIC" in ID3v2.2) frame
// into the picture cache, handing the cached records out, and writing one
// picture frame from the first record a caller puts.
#include <cstring>
#include <new>

#include "tag_access/mapping.h"
#include "tag_access/record_frames.h"
#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

constexpr long kPicture = mapping::kPictureId;

// Picture types written: "APIC" frames say front cover, "PIC" frames other.
constexpr unsigned char kFrontCover = 3;
constexpr unsigned char kOtherPicture = 0;
constexpr unsigned char kLatin1 = 0;

// The ID3v2.2 image format of a MIME type: only JPEG and PNG have one; any
// other type leaves the three bytes zero.
const char *ImageFormat(const std::wstring &mime) {
    if (mime == L"image/jpeg") return "JPG";
    if (mime == L"image/png") return "PNG";
    return nullptr;
}

// Parses one picture payload with the record parser given and appends the
// record; nothing is appended when the record rejects the payload.
long AppendPicture(const std::vector<unsigned char> &payload, unsigned int size,
                   long (CTagmill::CPicture::*parse)(const unsigned char *, long),
                   std::vector<std::shared_ptr<CTagmill::CPicture>> &pictures) {
    try {
        auto picture = std::make_shared<CTagmill::CPicture>();
        long hr = ((*picture).*parse)(payload.data(), static_cast<long>(size));
        if (Failed(hr)) return hr;
        pictures.push_back(picture);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// The fields ahead of the picture in an "APIC" payload: encoding 0, the MIME
// type and its zero byte, picture type front cover, an empty description (one
// zero byte). May throw std::bad_alloc.
std::vector<unsigned char> ApicFields(const CTagmill::CPicture &picture) {
    const std::string mime = text::ToLatin1(picture.Mime());
    std::vector<unsigned char> fields(mime.size() + 4, 0);
    fields[0] = kLatin1;
    std::memcpy(fields.data() + 1, mime.data(), mime.size());
    fields[mime.size() + 2] = kFrontCover;
    return fields;
}

// The same for a "PIC" payload: encoding 0, a three-byte image format,
// picture type other, an empty description. May throw std::bad_alloc.
std::vector<unsigned char> PicFields(const CTagmill::CPicture &picture) {
    std::vector<unsigned char> fields(6, 0);
    fields[0] = kLatin1;
    if (const char *format = ImageFormat(picture.Mime())) std::memcpy(fields.data() + 1, format, 3);
    fields[4] = kOtherPicture;
    return fields;
}

// Appends the picture's bytes to the fields already in payload. May throw
// std::bad_alloc.
long AppendPictureBytes(const CTagmill::CPicture &picture, std::vector<unsigned char> &payload) {
    const size_t fields = payload.size();
    long size = picture.Size() > 0 ? picture.Size() : 0;
    payload.resize(fields + static_cast<size_t>(size), 0);
    unsigned char *data = payload.data() + fields;
    long hr = picture.GetData(&data, size);
    if (Failed(hr)) return hr;
    payload.resize(fields + static_cast<size_t>(size));
    return S_OK;
}

} // namespace

long CTagmill::GetBinary(long propertyId, PictureList &pictures) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckBinaryPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;
    return recordframes::CopyCacheEntry(m_pictures, propertyId, pictures);
}

// The frame is replaced in the edit transaction at once; the cache keeps the
// whole list although only its first record reaches the tag.
long CTagmill::PutBinary(long propertyId, const PictureList &pictures) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckBinaryPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;

    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    hr = DeleteFrame(propertyId);
    if (Failed(hr)) return hr;
    m_pictures.erase(propertyId);

    if (m_version == TAV_ID3_V22) hr = SetPIC(pictures);
    else if (m_version == TAV_ID3_V23 || m_version == TAV_ID3_V24) hr = SetAPIC(pictures);
    else hr = E_PROPERTY_UNSUPPORTED;
    if (Failed(hr)) return hr;

    return recordframes::ReplaceCacheEntry(m_pictures, propertyId, pictures);
}

long CTagmill::GetBinaryInternal(long propertyId, PictureList &pictures) {
    if (!m_opened) return E_UNEXPECTED;
    if (!CheckBinaryPropertyID(propertyId)) return E_PROPERTY_UNSUPPORTED;
    pictures.clear();
    if (m_version == TAV_ID3_V22) return GetPIC(pictures);
    if (m_version == TAV_ID3_V23 || m_version == TAV_ID3_V24) return GetAPIC(pictures);
    return E_PROPERTY_UNSUPPORTED;
}

// Only the first picture frame of the tag is read, whatever its picture type.
long CTagmill::GetAPIC(PictureList &pictures) {
    unsigned int size = 0;
    std::vector<unsigned char> payload;
    long hr = GetV2Data(mapping::FrameId("APIC"), size, payload);
    if (Failed(hr)) return hr;
    return AppendPicture(payload, size, &CPicture::SetAPIC, pictures);
}

long CTagmill::GetPIC(PictureList &pictures) {
    unsigned int size = 0;
    std::vector<unsigned char> payload;
    long hr = GetV2Data(mapping::FrameId("PIC"), size, payload);
    if (Failed(hr)) return hr;
    return AppendPicture(payload, size, &CPicture::SetPIC, pictures);
}

// Only the first record reaches the tag, as one frame: the fields `leading`
// builds for the frame's kind, then the picture. An empty list writes nothing.
long CTagmill::appendPictureFrame(const PictureList &pictures,
                                  std::vector<unsigned char> (*leading)(const CPicture &)) {
    if (pictures.empty()) return S_OK;
    unsigned int frameId = 0;
    long hr = ToFrameId(kPicture, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    const std::shared_ptr<CPicture> &picture = pictures.front();
    if (!picture) return E_POINTER;
    try {
        std::vector<unsigned char> payload = leading(*picture);
        hr = AppendPictureBytes(*picture, payload);
        if (Failed(hr)) return hr;
        return recordframes::AppendFrame(&m_context, frameId, payload.data(), payload.size());
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

long CTagmill::SetAPIC(const PictureList &pictures) { return appendPictureFrame(pictures, ApicFields); }

long CTagmill::SetPIC(const PictureList &pictures) { return appendPictureFrame(pictures, PicFields); }
