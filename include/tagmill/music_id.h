// CTagmill::CMusicId: a unique file identifier ("UFID", "UFI" in ID3v2.2):
// an owner identifier and a binary identifier of exactly DEF_DATA_SIZE bytes.
// Parses and builds the frame payload: owner, a zero byte, the identifier.
#ifndef TAGMILL_MUSIC_ID_H
#define TAGMILL_MUSIC_ID_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

class CTagmill::CMusicId {
public:
    // The only identifier length the record accepts.
    static constexpr long DEF_DATA_SIZE = 64;

    CMusicId();
    CMusicId(const CMusicId &) = delete;
    CMusicId &operator=(const CMusicId &) = delete;
    virtual ~CMusicId();

    long GetOwnerId(std::string &ownerId) const;
    // E_INVALIDARG for an empty owner identifier.
    long SetOwnerId(const std::string &ownerId);

    // E_POINTER for null data, E_INVALIDARG unless size is DEF_DATA_SIZE,
    // E_OUTOFMEMORY (record left without data) when the copy fails.
    long SetData(const unsigned char *data, long size);
    // Hands out a copy of the identifier in a block from CoTaskMemAlloc, which
    // the caller releases with CoTaskMemFree. A null `data` asks for nothing.
    long GetData(unsigned char **data, long &size) const;
    long GetDataSize() const { return m_size; }

    // Size of the frame payload: identifier + owner identifier + 1.
    long GetFrameDataSize() const;
    // Hands out the frame payload (CoTaskMemAlloc block, the caller frees it).
    // A null `data` asks for nothing; E_UNEXPECTED without an owner identifier.
    long GetFrameData(unsigned char **data, long &size) const;
    // E_POINTER for a null payload; E_INVALIDARG for a size of 0 or less, a
    // missing or empty owner identifier, or an identifier not 64 bytes long.
    long ParseFrameData(const unsigned char *payload, long size);

private:
    long DeleteData();

    std::unique_ptr<unsigned char[]> m_data;
    std::string m_ownerId;
    long m_size = 0;
};

#endif
