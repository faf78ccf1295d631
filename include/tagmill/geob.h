// CTagmill::CGeob: a general encapsulated object ("GEOB", "GEO" in ID3v2.2):
// a MIME type, a description and a block of data. Reads payloads in any of
// the four ID3v2 text encodings; writes them in ISO-8859-1 with an empty file
// name.
#ifndef TAGMILL_GEOB_H
#define TAGMILL_GEOB_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

class CTagmill::CGeob {
public:
    CGeob();
    CGeob(const CGeob &) = delete;
    CGeob &operator=(const CGeob &) = delete;
    virtual ~CGeob();

    // Keeps the description and its single-byte form, which the payload uses.
    long SetDescription(const std::wstring &description);
    long GetDescription(std::wstring &description) const;
    // Any MIME type, the empty one included. A new record has "binary".
    long SetMimeType(const std::string &mimeType);
    long GetMimeType(std::string &mimeType) const;

    // E_POINTER for null data, E_INVALIDARG for a negative size (record
    // unchanged), E_OUTOFMEMORY (record left without data) when the copy fails.
    long SetData(const unsigned char *data, long size);
    // Hands out a copy of the data in a block from CoTaskMemAlloc, which the
    // caller releases with CoTaskMemFree. A null `data` asks for nothing.
    long GetData(unsigned char **data, long &size) const;
    long GetDataSize() const { return m_size; }

    // Size of the payload GetFrameData builds: data + description + MIME + 4.
    long GetFrameDataSize() const;
    // Hands out the payload (CoTaskMemAlloc block); a null `data` asks for nothing.
    long GetFrameData(unsigned char **data, long &size) const;
    // E_POINTER for a null payload; E_INVALIDARG for a size of 0 or less or a
    // missing MIME terminator; E_FAIL for an unknown text encoding, a
    // description that starts past the end or has no terminator.
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
