// CTagmill::CMusicId: a unique file identifier ("UFID", "UFI" in ID3v2.2):
// an owner identifier and a binary identifier of exactly DEF_DATA_SIZE bytes.
// Parses and builds the frame payload: owner, a zero byte, the identifier.
/// @file
/// @brief The music-ID record CTagmill::CMusicId.
#ifndef TAGMILL_MUSIC_ID_H
#define TAGMILL_MUSIC_ID_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

/// @brief A unique file identifier: an owner identifier and an identifier of
/// exactly DEF_DATA_SIZE bytes.
///
/// Music IDs cross the interface of CTagmill as vectors of shared pointers
/// (CTagmill::GetMusicId(), CTagmill::PutMusicId()). Create one with
/// std::make_shared, then SetData() with 64 bytes; SetOwnerId() is optional
/// for PutMusicId(), which fills in the provider's owner.
///
/// Blocks handed out by GetData() and GetFrameData() come from CoTaskMemAlloc
/// and belong to the caller, who frees them with CoTaskMemFree.
class TAGMILL_API CTagmill::CMusicId {
public:
    // The only identifier length the record accepts.
    /// The only identifier length the record accepts: 64 bytes.
    static constexpr long DEF_DATA_SIZE = 64;

    /// An empty record: no identifier, empty owner.
    CMusicId();
    CMusicId(const CMusicId &) = delete;
    CMusicId &operator=(const CMusicId &) = delete;
    /// Releases the identifier.
    virtual ~CMusicId();

    /// @brief Copies the owner identifier (single-byte text) into ownerId.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetOwnerId(std::string &ownerId) const;
    // E_INVALIDARG for an empty owner identifier.
    /// @brief Replaces the owner identifier.
    /// @return S_OK; E_INVALIDARG for an empty one; E_OUTOFMEMORY.
    long SetOwnerId(const std::string &ownerId);

    // E_POINTER for null data, E_INVALIDARG unless size is DEF_DATA_SIZE,
    // E_OUTOFMEMORY (record left without data) when the copy fails.
    /// @brief Replaces the identifier with a copy of the 64 bytes at data.
    /// @param data the identifier; must not be null.
    /// @param size must be DEF_DATA_SIZE.
    /// @return S_OK; E_POINTER for null data; E_INVALIDARG for another size;
    /// E_OUTOFMEMORY (the record is left without identifier).
    long SetData(const unsigned char *data, long size);
    // Hands out a copy of the identifier in a block from CoTaskMemAlloc, which
    // the caller releases with CoTaskMemFree. A null `data` asks for nothing.
    /// @brief Hands out a copy of the identifier.
    /// @param[out] data receives a CoTaskMemAlloc block that the caller frees
    /// with CoTaskMemFree (null first); a null data asks for nothing.
    /// @param[out] size the identifier's size (0 or 64).
    /// @return S_OK; E_OUTOFMEMORY.
    long GetData(unsigned char **data, long &size) const;
    /// @brief Size of the identifier: 0 or DEF_DATA_SIZE.
    long GetDataSize() const { return m_size; }

    // Size of the frame payload: identifier + owner identifier + 1.
    /// @brief Size of the frame payload: identifier + owner identifier + 1.
    long GetFrameDataSize() const;
    // Hands out the frame payload (CoTaskMemAlloc block, the caller frees it).
    // A null `data` asks for nothing; E_UNEXPECTED without an owner identifier.
    /// @brief Builds the "UFID" payload: owner identifier, a zero byte, the
    /// identifier.
    /// @param[out] data receives a CoTaskMemAlloc block that the caller frees
    /// with CoTaskMemFree (null first); a null data asks for nothing.
    /// @param[out] size the payload size, GetFrameDataSize().
    /// @return S_OK; E_UNEXPECTED without an owner identifier; E_OUTOFMEMORY.
    long GetFrameData(unsigned char **data, long &size) const;
    // E_POINTER for a null payload; E_INVALIDARG for a size of 0 or less, a
    // missing or empty owner identifier, or an identifier not 64 bytes long.
    /// @brief Reads a "UFID" payload into the record.
    /// @param payload the frame data.
    /// @param size its length in bytes.
    /// @return S_OK; E_POINTER for a null payload; E_INVALIDARG for a size of 0
    /// or less, a missing or empty owner identifier, or an identifier not 64
    /// bytes long; E_OUTOFMEMORY.
    long ParseFrameData(const unsigned char *payload, long size);

private:
    long DeleteData();

    std::unique_ptr<unsigned char[]> m_data;
    std::string m_ownerId;
    long m_size = 0;
};

#endif
