// User-defined string properties: "GN_ExtData" (4717), a user-defined text
// frame ("TXXX", "TXX" in ID3v2.2), and "iTunSMPB" (9233), a comment frame
// ("COMM", "COM"). Loaded from the first frame whose description matches; put
// into the cache only, and written back as a whole by the commit.
#include <new>

#include "tag_access/frame_data.h"
#include "tag_access/mapping.h"
#include "tag_access/record_frames.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

constexpr long kExtData = 4717;
constexpr long kSmpbComment = 9233;

bool IsCommentFrame(uint32_t frameId) {
    return frameId == mapping::FrameId("COMM") || frameId == mapping::FrameId("COM");
}

// A comment payload is the user-defined text payload with the three language
// bytes put right after the encoding byte.
std::vector<unsigned char> CommentPayload(const unsigned char *payload, long size,
                                          const unsigned char language[3]) {
    std::vector<unsigned char> comment;
    comment.reserve(static_cast<size_t>(size) + 3);
    comment.push_back(payload[0]);
    comment.insert(comment.end(), language, language + 3);
    comment.insert(comment.end(), payload + 1, payload + size);
    return comment;
}

// Whether the first `stored` frameId entries of the edit transaction's list
// are all loaded frames. Loaded frames keep their tag order ahead of anything
// appended, so only then does the index of a stored frame name its entry. (A
// comment property put as a string in this cycle took them all out already.)
bool StoredFramesListed(tav_id3_context *context, uint32_t frameId, uint32_t stored) {
    const tav_id3_v2_frame_node *node = context->edit ? context->edit->frames : nullptr;
    int32_t position = 0;
    for (uint32_t i = 0; i < stored; ++i) {
        const int32_t at = tav_id3_v2_find_frame_index(context, frameId, static_cast<int32_t>(i));
        if (at < 0) return false;
        for (; node && position < at; node = node->next) ++position;
        if (!node || node->entry->payload) return false;
    }
    return true;
}

// Removes from the edit transaction the stored frames with frameId whose
// comment payload carries `description`, from the last one down so that the
// indices of the others stay valid. Frames that cannot be read or parsed are
// left, and so are frames the engine refuses to remove (read-only ones).
// Frames appended in this cycle are never touched.
void RemoveStoredComments(tav_id3_context *context, uint32_t frameId, const std::wstring &description) {
    uint32_t count = 0;
    if (tav_id3_v2_get_frame_num(context, frameId, &count) != TAV_OK) return;
    if (!StoredFramesListed(context, frameId, count)) return;
    std::vector<int32_t> matches;
    std::vector<unsigned char> payload;
    for (uint32_t i = 0; i < count; ++i) {
        tav_id3_v2_frame_header header{};
        uint32_t size = 0;
        if (Failed(framedata::Read(context, frameId, i, header, payload, size))) continue;
        CTagmill::CUserDefinedString comment;
        std::wstring found;
        if (Failed(comment.ParseFrameData(payload.data(), static_cast<long>(size), true))) continue;
        if (Succeeded(comment.GetDescription(found)) && found == description)
            matches.push_back(static_cast<int32_t>(i));
    }
    for (auto index = matches.rbegin(); index != matches.rend(); ++index)
        tav_id3_v2_remove_frame(context, frameId, *index);
}

} // namespace

long CTagmill::GetUserDefinedString(long propertyId, UserStringList &strings) {
    if (!m_opened) return E_UNEXPECTED;
    return recordframes::CopyCacheEntry(m_userStrings, propertyId, strings);
}

// Only the two identifiers with a row are taken. The other user-defined
// string identifiers have no frame to be written to, and a row of another
// kind would give a frame of the wrong layout, so both are refused here
// rather than at the commit. No frame is touched; an empty list deletes the
// string at the commit.
long CTagmill::PutUserDefinedString(long propertyId, const UserStringList &strings) {
    if (!m_opened) return E_UNEXPECTED;
    if (propertyId != kExtData && propertyId != kSmpbComment) return E_PROPERTY_UNSUPPORTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    return recordframes::ReplaceCacheEntry(m_userStrings, propertyId, strings);
}

long CTagmill::GetUserDefinedStringInternal(long propertyId, UserStringList &strings, int &index) {
    unsigned int frameId = 0;
    std::wstring description;
    const long hr = describedFrame(propertyId, index, frameId, description);
    if (Failed(hr)) return hr;
    const bool withLanguage = propertyId == kSmpbComment;
    return recordframes::FindByDescription(
        &m_context, frameId, description, strings, index,
        [withLanguage](CUserDefinedString &record, const unsigned char *payload, long size) {
            return record.ParseFrameData(payload, size, withLanguage);
        });
}

// The user-defined strings are rewritten from the cache as a whole. Every
// stored user-defined text and user-defined URL frame goes, whatever its
// description. Comment frames mostly belong to other programs and stay, except
// those described "iTunSMPB": that is property 9233, so they are removed too
// before the cached value (if any) is appended. Otherwise the comment found at
// load would stay beside the new one and, coming first, win at the next load;
// and a deleted value would never leave the tag.
long CTagmill::updateUserDefinedString() {
    if (!m_opened) return E_UNEXPECTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    deleteAllFrames(mapping::FrameId("TXX"));
    deleteAllFrames(mapping::FrameId("TXXX"));
    deleteAllFrames(mapping::FrameId("WXX"));
    deleteAllFrames(mapping::FrameId("WXXX"));

    try {
        unsigned int commentId = 0;
        std::wstring commentDescription;
        hr = ToFrameId(kSmpbComment, commentId, &commentDescription, nullptr, nullptr);
        if (Failed(hr)) return hr;
        RemoveStoredComments(&m_context, commentId, commentDescription);

        for (const auto &entry : m_userStrings) {
            unsigned int frameId = 0;
            std::wstring description;
            bool unicode = false;
            hr = ToFrameId(entry.first, frameId, &description, nullptr, &unicode);
            if (Failed(hr)) return hr;
            if (entry.second.empty()) continue;
            const std::shared_ptr<CUserDefinedString> &record = entry.second.front();
            if (!record) return E_POINTER;
            hr = record->SetDescription(description);
            if (Failed(hr)) return hr;

            recordframes::TaskBlock payload;
            long size = 0;
            hr = record->GetFrameData(payload.out(), &size, unicode);
            if (Failed(hr)) return hr;
            if (IsCommentFrame(frameId)) {
                unsigned char language[3] = {0, 0, 0};
                hr = record->GetLanguage(language);
                if (Failed(hr)) return hr;
                const std::vector<unsigned char> comment = CommentPayload(payload.get(), size, language);
                hr = recordframes::AppendFrame(&m_context, frameId, comment.data(), comment.size());
            } else {
                hr = recordframes::AppendFrame(&m_context, frameId, payload.get(), static_cast<size_t>(size));
            }
            if (Failed(hr)) return hr;
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
