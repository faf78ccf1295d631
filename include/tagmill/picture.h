// CTagmill::CPicture: one attached picture, the image bytes and their MIME
// type. Parses the payload of an "APIC" frame (ID3v2.3/2.4) or a "PIC" frame
// (ID3v2.2); the picture type and description of a frame are not kept.
/// @file
/// @brief The picture record CTagmill::CPicture.
#ifndef TAGMILL_PICTURE_H
#define TAGMILL_PICTURE_H

#include <memory>
#include <string>

#include "tagmill/tagmill.h"

/// @brief One attached picture: the image bytes and their MIME type.
///
/// Pictures cross the interface of CTagmill as vectors of shared pointers
/// (CTagmill::GetBinary(), CTagmill::PutBinary()). Create one with
/// std::make_shared and fill it with SetAll(), or SetData() and SetMime(). The
/// record owns a copy of its bytes.
class TAGMILL_API CTagmill::CPicture {
public:
    /// An empty record: no data, size 0, empty MIME type.
    CPicture();
    CPicture(const CPicture &) = delete;
    CPicture &operator=(const CPicture &) = delete;
    /// Releases the record's bytes.
    virtual ~CPicture();

    // Copies `size` bytes from data. E_POINTER for null data (record
    // unchanged), E_OUTOFMEMORY for a negative size or when the copy cannot be
    // allocated (the record is then left without data, MIME type unchanged).
    /// @brief Replaces the picture bytes with a copy of `size` bytes at data.
    /// @param data the bytes; must not be null (even for size 0).
    /// @param size number of bytes; 0 leaves an empty picture.
    /// @return S_OK; E_POINTER for null data (record unchanged); E_OUTOFMEMORY
    /// for a negative size or a failed copy (the record is left without data,
    /// the MIME type unchanged).
    long SetData(const unsigned char *data, long size);
    // Copies the picture into the caller's buffer *data, whose capacity is
    // passed in `size`; `size` comes back as the number of bytes copied (the
    // smaller of the stored size and the capacity; a negative capacity comes
    // back unchanged and nothing is copied). E_POINTER when data is null, or
    // when *data is null and bytes would be copied.
    /// @brief Copies the picture into the caller's buffer. Nothing is
    /// allocated; the record keeps its bytes.
    /// @param[in] data address of a pointer to the caller's buffer.
    /// @param[in,out] size in: the buffer's capacity; out: the bytes copied, the
    /// smaller of Size() and the capacity (a negative capacity comes back
    /// unchanged, nothing copied).
    /// @return S_OK; E_POINTER when data is null, or *data is null and bytes
    /// would be copied.
    long GetData(unsigned char **data, long &size) const;
    /// @brief Number of picture bytes.
    long Size() const { return m_size; }

    /// @brief A copy of the MIME type, e.g. L"image/jpeg".
    std::wstring Mime() const { return m_mime; }
    /// @brief Copies the MIME type into mime.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetMime(std::wstring &mime) const;
    /// @brief Replaces the MIME type. Written into "APIC" frames in ISO-8859-1;
    /// "PIC" frames know only "image/jpeg" and "image/png".
    /// @return S_OK; E_OUTOFMEMORY.
    long SetMime(const std::wstring &mime);
    // SetData, then SetMime. E_POINTER for null data; SetData's failure.
    /// @brief SetData(data, size), then SetMime(mime).
    /// @return S_OK; E_POINTER for null data; the failure of SetData() or
    /// SetMime().
    long SetAll(const unsigned char *data, long size, const std::wstring &mime);

    // Payload parsers. E_POINTER for a null payload; E_FAIL for a text
    // encoding other than 0 or 1, an unterminated MIME type (APIC) or a
    // payload without even an encoding byte (size 0 or negative); the record
    // is unchanged on these failures.
    /// @brief Reads an "APIC" payload (ID3v2.3/2.4): encoding, MIME type,
    /// picture type, description, picture. Keeps the MIME type and the bytes.
    /// A description without terminator leaves an empty picture.
    /// @param payload the frame data.
    /// @param size its length in bytes.
    /// @return S_OK; E_POINTER for a null payload; E_FAIL for a text encoding
    /// other than 0 or 1, an unterminated MIME type or an empty payload (record
    /// unchanged); E_OUTOFMEMORY.
    long SetAPIC(const unsigned char *payload, long size);
    /// @brief Reads a "PIC" payload (ID3v2.2): encoding, three-byte image format
    /// ("JPG" gives image/jpeg, "PNG" image/png, anything else an empty MIME
    /// type), picture type, description, picture.
    /// @param payload the frame data.
    /// @param size its length in bytes.
    /// @return S_OK; E_POINTER for a null payload; E_FAIL for a text encoding
    /// other than 0 or 1 or an empty payload (record unchanged); E_OUTOFMEMORY.
    long SetPIC(const unsigned char *payload, long size);

private:
    long DeleteData();

    std::unique_ptr<unsigned char[]> m_data;
    long m_size = 0;
    std::wstring m_mime;
};

#endif
