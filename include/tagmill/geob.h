// CTagmill::CGeob: a general encapsulated object ("GEOB", "GEO" in ID3v2.2):
// a MIME type, a description and a block of data. Reads payloads in any of
// the four ID3v2 text encodings; writes them in ISO-8859-1 with an empty file
// name.
/// @file
/// @brief The encapsulated-object record CTagmill::CGeob.
#ifndef TAGMILL_GEOB_H
#define TAGMILL_GEOB_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

/// @brief A general encapsulated object: a MIME type, a description and a
/// block of bytes.
///
/// Objects cross the interface of CTagmill as vectors of shared pointers
/// (CTagmill::GetGeob(), CTagmill::PutGeob()). Create one with
/// std::make_shared and SetData(); the commit gives it the property's
/// description and MIME type.
///
/// Blocks handed out by GetData() and GetFrameData() come from CoTaskMemAlloc
/// and belong to the caller, who frees them with CoTaskMemFree.
class TAGMILL_API CTagmill::CGeob {
public:
    /// An empty record with the MIME type "binary".
    CGeob();
    CGeob(const CGeob &) = delete;
    CGeob &operator=(const CGeob &) = delete;
    /// Releases the data.
    virtual ~CGeob();

    // Keeps the description and its single-byte form, which the payload uses.
    /// @brief Replaces the description (and its ISO-8859-1 form, which the
    /// payload carries).
    /// @return S_OK; E_OUTOFMEMORY.
    long SetDescription(const std::wstring &description);
    /// @brief Copies the description into description.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetDescription(std::wstring &description) const;
    // Any MIME type, the empty one included. A new record has "binary".
    /// @brief Replaces the MIME type (single-byte text; empty is allowed).
    /// @return S_OK; E_OUTOFMEMORY.
    long SetMimeType(const std::string &mimeType);
    /// @brief Copies the MIME type into mimeType.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetMimeType(std::string &mimeType) const;

    // E_POINTER for null data (record unchanged), E_OUTOFMEMORY (record left
    // without data) when the copy fails or the size is negative.
    /// @brief Replaces the data with a copy of `size` bytes at data.
    /// @param data the bytes; must not be null (even for size 0).
    /// @param size number of bytes.
    /// @return S_OK; E_POINTER for null data (record unchanged); E_OUTOFMEMORY
    /// for a negative size or a failed copy (the record is left without data).
    long SetData(const unsigned char *data, long size);
    // Hands out a copy of the data in a block from CoTaskMemAlloc, which the
    // caller releases with CoTaskMemFree. A null `data` asks for nothing.
    /// @brief Hands out a copy of the data.
    /// @param[out] data receives a CoTaskMemAlloc block that the caller frees
    /// with CoTaskMemFree (null first); a null data asks for nothing.
    /// @param[out] size the data size.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetData(unsigned char **data, long &size) const;
    /// @brief Number of data bytes.
    long GetDataSize() const { return m_size; }

    // Size of the payload GetFrameData builds: data + description + MIME + 4.
    /// @brief Size of the payload GetFrameData() builds: data + description +
    /// MIME type + 4.
    long GetFrameDataSize() const;
    // Hands out the payload (CoTaskMemAlloc block); a null `data` asks for nothing.
    /// @brief Builds the "GEOB" payload: encoding 0, the MIME type and a 0, an
    /// empty file name (0), the ISO-8859-1 description and a 0, the data.
    /// @param[out] data receives a CoTaskMemAlloc block that the caller frees
    /// with CoTaskMemFree (null first); a null data asks for nothing.
    /// @param[out] size the payload size, GetFrameDataSize().
    /// @return S_OK; E_OUTOFMEMORY.
    long GetFrameData(unsigned char **data, long &size) const;
    // E_POINTER for a null payload; E_INVALIDARG for a size of 0 or less or a
    // missing MIME terminator; E_FAIL for an unknown text encoding, a
    // description that starts past the end or has no terminator.
    /// @brief Reads a "GEOB" payload in any of the four ID3v2 text encodings
    /// (the file name is taken to be empty).
    /// @param payload the frame data.
    /// @param size its length in bytes.
    /// @return S_OK; E_POINTER for a null payload; E_INVALIDARG for a size of 0
    /// or less or a missing MIME terminator; E_FAIL for an unknown text
    /// encoding, or a description that starts past the end or has no
    /// terminator; E_OUTOFMEMORY.
    long ParseFrameData(const unsigned char *payload, long size);

private:
    long DeleteData();

    std::unique_ptr<unsigned char[]> m_data;
    std::string m_mimeType;
    std::wstring m_description;
    std::string m_ansiDescription;
    long m_size = 0;
};

#endif
