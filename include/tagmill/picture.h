// CTagmill::CPicture: one attached picture, the image bytes and their MIME
// type. Parses the payload of an "APIC" frame (ID3v2.3/2.4) or a "PIC" frame
// (ID3v2.2); the picture type and description of a frame are not kept.
#ifndef TAGMILL_PICTURE_H
#define TAGMILL_PICTURE_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

class CTagmill::CPicture {
public:
    CPicture();
    CPicture(const CPicture &) = delete;
    CPicture &operator=(const CPicture &) = delete;
    virtual ~CPicture();

    // Copies `size` bytes from data. E_POINTER for null data, E_INVALIDARG for
    // a negative size (record unchanged), E_OUTOFMEMORY when the copy cannot be
    // allocated (the record is then left without data, MIME type unchanged).
    long SetData(const unsigned char *data, long size);
    // Copies the picture into the caller's buffer *data, whose capacity is
    // passed in `size`; `size` comes back as the number of bytes copied (the
    // smaller of the stored size and the capacity, never below 0). E_POINTER
    // when data is null, or when *data is null and bytes would be copied.
    long GetData(unsigned char **data, long &size) const;
    long Size() const { return m_size; }

    std::wstring Mime() const { return m_mime; }
    long GetMime(std::wstring &mime) const;
    long SetMime(const std::wstring &mime);
    // SetData, then SetMime. E_POINTER for null data; SetData's failure.
    long SetAll(const unsigned char *data, long size, const std::wstring &mime);

    // Payload parsers. E_POINTER for a null payload; E_FAIL for a text
    // encoding other than 0 or 1, an unterminated MIME type (APIC) or a
    // payload without even an encoding byte (size 0 or negative); the record
    // is unchanged on these failures.
    long SetAPIC(const unsigned char *payload, long size);
    long SetPIC(const unsigned char *payload, long size);

private:
    long DeleteData();

    std::unique_ptr<unsigned char[]> m_data;
    long m_size = 0;
    std::wstring m_mime;
};

#endif
