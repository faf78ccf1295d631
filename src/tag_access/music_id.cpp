// Music-ID property (5891): the unique file identifier ("UFID", "UFI" in
// ID3v2.2) of the music-ID provider. Read from the first such frame when the
// cache is loaded; written into the edit transaction at once when put.
#include <new>

#include "tag_access/mapping.h"
#include "tag_access/music_id_owners.h"
#include "tag_access/record_frames.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

constexpr long kMusicId = mapping::kMusicId;

bool IsProviderOwner(const std::string &owner) {
    return owner == musicid::kOwner || owner == musicid::kOwnerWithoutScheme;
}

} // namespace

long CTagmill::GetMusicId(MusicIdList &ids) {
    if (!m_opened) return E_UNEXPECTED;
    return recordframes::CopyCacheEntry(m_musicIds, kMusicId, ids);
}

// Every unique file identifier frame goes, whatever its owner; one frame is
// appended for the first record. The cache keeps the whole list.
long CTagmill::PutMusicId(const MusicIdList &ids) {
    if (!m_opened) return E_UNEXPECTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    hr = DeleteFrame(kMusicId);
    if (Failed(hr)) return hr;
    m_musicIds.erase(kMusicId);
    if (ids.empty()) return S_OK;

    unsigned int frameId = 0;
    hr = ToFrameId(kMusicId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    const std::shared_ptr<CMusicId> &id = ids.front();
    if (!id) return E_POINTER;
    try {
        std::string owner;
        hr = id->GetOwnerId(owner);
        if (Failed(hr)) return hr;
        // A record without an owner is the provider's: it gets the default
        // owner, in the caller's record too.
        if (owner.empty()) {
            hr = id->SetOwnerId(musicid::kOwner);
            if (Failed(hr)) return hr;
        }
        recordframes::TaskBlock payload;
        long size = 0;
        hr = id->GetFrameData(payload.out(), size);
        if (Failed(hr)) return hr;
        hr = recordframes::AppendFrame(&m_context, frameId, payload.get(), static_cast<size_t>(size));
        if (Failed(hr)) return hr;
        m_musicIds[kMusicId] = ids;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Only the first unique file identifier frame is examined. One that another
// owner wrote is not a value of this property: S_FALSE, nothing appended.
long CTagmill::GetMusicIdInternal(long propertyId, MusicIdList &ids) {
    if (!m_opened) return E_UNEXPECTED;
    if (propertyId != kMusicId) return E_PROPERTY_UNSUPPORTED;
    ids.clear();
    initOwnerId();

    unsigned int frameId = 0;
    long hr = ToFrameId(propertyId, frameId, nullptr, nullptr, nullptr);
    if (Failed(hr)) return hr;
    unsigned int size = 0;
    std::vector<unsigned char> payload;
    hr = GetV2Data(frameId, size, payload);
    if (Failed(hr)) return hr;
    if (size == 0) return E_PROPERTY_ABSENT;

    try {
        auto id = std::make_shared<CMusicId>();
        hr = id->ParseFrameData(payload.data(), static_cast<long>(size));
        if (Failed(hr)) return hr;
        std::string owner;
        hr = id->GetOwnerId(owner);
        if (Failed(hr)) return hr;
        m_ownerIdFlag = true;
        if (IsProviderOwner(owner)) m_ownerIdFlag = false;
        if (m_ownerIdFlag) return S_FALSE;
        ids.push_back(id);
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
