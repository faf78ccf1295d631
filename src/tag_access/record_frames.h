// Frame and cache plumbing shared by the record-valued properties (pictures,
// music ID, objects, user-defined strings): appending a frame built from a
// payload, a holder for payloads from the task allocator, the scan that finds
// the first frame of an ID whose record carries a given description, and
// copying a cache entry out to a caller or in from one.
#ifndef TAGMILL_TAG_ACCESS_RECORD_FRAMES_H
#define TAGMILL_TAG_ACCESS_RECORD_FRAMES_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "tag_access/frame_data.h"
#include "tagmill/engine.h"
#include "tagmill/result.h"
#include "tagmill/task_memory.h"

namespace tagmill {
namespace recordframes {

// Appends a frame with the ID and payload to the edit transaction. The header
// carries no frame flags (nor the extra bytes they announce). E_FAIL when the
// engine refuses it.
long AppendFrame(tav_id3_context *context, uint32_t frameId, const unsigned char *payload, size_t size);

// Owns a payload handed out by a record's GetFrameData until the frame is
// appended.
class TaskBlock {
public:
    TaskBlock() = default;
    TaskBlock(const TaskBlock &) = delete;
    TaskBlock &operator=(const TaskBlock &) = delete;
    ~TaskBlock() { CoTaskMemFree(m_block); }
    unsigned char **out() { return &m_block; }
    const unsigned char *get() const { return m_block; }

private:
    unsigned char *m_block = nullptr;
};

// Reads the frames with frameId of the stored tag in order, parses each into a
// new Record with parse(record, payload, size), and appends the first record
// whose description equals `description` (exactly, case included); `index`
// receives that frame's position among the frames with the ID.
//   E_FAIL on an engine failure or a frame size beyond the content,
//   E_PROPERTY_ABSENT when the tag has no frame with the ID, the parser's
//   failure (which ends the whole scan), and E_OUTOFMEMORY. Without a match:
//   S_FALSE, or S_OK when `records` already held something (it is not
//   emptied first).
template <class Record, class Parse>
long FindByDescription(tav_id3_context *context, uint32_t frameId, const std::wstring &description,
                       std::vector<std::shared_ptr<Record>> &records, int &index, Parse parse) {
    uint32_t count = 0;
    if (tav_id3_v2_get_frame_num(context, frameId, &count) != TAV_OK) return E_FAIL;
    if (count == 0) return E_PROPERTY_ABSENT;
    try {
        std::vector<unsigned char> payload;
        for (uint32_t i = 0; i < count; ++i) {
            tav_id3_v2_frame_header header{};
            uint32_t size = 0;
            long hr = framedata::Read(context, frameId, i, header, payload, size);
            if (Failed(hr)) return hr;
            auto record = std::make_shared<Record>();
            hr = parse(*record, payload.data(), static_cast<long>(size));
            if (Failed(hr)) return hr;
            std::wstring found;
            hr = record->GetDescription(found);
            if (Failed(hr)) return hr;
            if (found == description) {
                records.push_back(record);
                index = static_cast<int>(i);
                return S_OK;
            }
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return records.empty() ? S_FALSE : S_OK;
}

// Copies the cache entry of propertyId into list (its records stay shared).
// E_PROPERTY_ABSENT (list untouched) when the cache has none, E_OUTOFMEMORY
// when the copy cannot be made.
template <class Cache, class List>
long CopyCacheEntry(const Cache &cache, long propertyId, List &list) {
    const auto entry = cache.find(propertyId);
    if (entry == cache.end()) return E_PROPERTY_ABSENT;
    try {
        list = entry->second;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

// Replaces a cache entry: the old list goes, a non-empty list is stored as a
// copy (its records stay shared with the caller). E_OUTOFMEMORY when the copy
// cannot be made.
template <class Cache, class List>
long ReplaceCacheEntry(Cache &cache, long propertyId, const List &list) {
    cache.erase(propertyId);
    if (list.empty()) return S_OK;
    try {
        cache[propertyId] = list;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

} // namespace recordframes
} // namespace tagmill

#endif
