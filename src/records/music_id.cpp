// CMusicId: the unique file identifier record. Its payload is the owner
// identifier, a zero byte and a 64-byte identifier; other identifier lengths
// are not this record's kind of music ID and are refused.
#include "tagmill/music_id.h"

#include <cstring>
#include <new>

#include "records/task_block.h"
#include "records/terminators.h"

using namespace tagmill;
using namespace tagmill::records;

namespace {

// A new identifier array of DEF_DATA_SIZE bytes holding a copy of data.
unsigned char *CopyIdentifier(const unsigned char *data) {
    const size_t size = static_cast<size_t>(CTagmill::CMusicId::DEF_DATA_SIZE);
    unsigned char *copy = new (std::nothrow) unsigned char[size];
    if (copy != nullptr) std::memcpy(copy, data, size);
    return copy;
}

} // namespace

CTagmill::CMusicId::CMusicId() = default;

CTagmill::CMusicId::~CMusicId() { DeleteData(); }

long CTagmill::CMusicId::GetOwnerId(std::string &ownerId) const {
    try {
        ownerId = m_ownerId;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

long CTagmill::CMusicId::SetOwnerId(const std::string &ownerId) {
    if (ownerId.empty()) return E_INVALIDARG;
    try {
        m_ownerId = ownerId;
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

long CTagmill::CMusicId::SetData(const unsigned char *data, long size) {
    if (data == nullptr) return E_POINTER;
    if (size != DEF_DATA_SIZE) return E_INVALIDARG;
    m_size = 0;
    unsigned char *copy = CopyIdentifier(data);
    m_data.reset(copy);
    if (copy == nullptr) return E_OUTOFMEMORY;
    m_size = DEF_DATA_SIZE;
    return S_OK;
}

long CTagmill::CMusicId::GetData(unsigned char **data, long &size) const {
    if (data == nullptr) return S_OK;
    *data = nullptr;
    long hr = HandOutCopy(m_data.get(), static_cast<size_t>(m_size), data);
    if (Failed(hr)) return hr;
    size = m_size;
    return S_OK;
}

long CTagmill::CMusicId::GetFrameDataSize() const {
    return m_size + static_cast<long>(m_ownerId.size()) + 1;
}

long CTagmill::CMusicId::GetFrameData(unsigned char **data, long &size) const {
    if (data == nullptr) return S_OK;
    *data = nullptr;
    if (m_ownerId.empty()) return E_UNEXPECTED;
    const long total = GetFrameDataSize();
    unsigned char *block = AllocateTaskBlock(static_cast<size_t>(total));
    if (block == nullptr) return E_OUTOFMEMORY;
    std::memcpy(block, m_ownerId.data(), m_ownerId.size());
    if (m_size > 0) std::memcpy(block + m_ownerId.size() + 1, m_data.get(), static_cast<size_t>(m_size));
    size = total;
    *data = block;
    return S_OK;
}

long CTagmill::CMusicId::ParseFrameData(const unsigned char *payload, long size) {
    if (payload == nullptr) return E_POINTER;
    if (size <= 0) return E_INVALIDARG;
    m_size = 0;
    const size_t total = static_cast<size_t>(size);
    const size_t ownerLength = FindZeroByte(payload, total, 0);
    if (ownerLength == kNoTerminator || ownerLength == 0) return E_INVALIDARG;
    if (total - ownerLength - 1 != static_cast<size_t>(DEF_DATA_SIZE)) return E_INVALIDARG;
    unsigned char *copy = CopyIdentifier(payload + ownerLength + 1);
    m_data.reset(copy);
    if (copy == nullptr) return E_OUTOFMEMORY;
    m_size = DEF_DATA_SIZE;
    try {
        return SetOwnerId(std::string(reinterpret_cast<const char *>(payload), ownerLength));
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
}

long CTagmill::CMusicId::DeleteData() {
    m_data.reset();
    m_size = 0;
    m_ownerId.clear();
    return S_OK;
}
