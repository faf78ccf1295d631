// CTagmill::CUserDefinedString: one description/value pair, the payload of a
// user-defined text frame ("TXXX", "TXX") or of a comment frame ("COMM",
// "COM"), which adds a three-byte language code after the encoding byte.
/// @file
/// @brief The user-defined string record CTagmill::CUserDefinedString.
#ifndef TAGMILL_USER_DEFINED_STRING_H
#define TAGMILL_USER_DEFINED_STRING_H

#include <string>

#include "tagmill/tagmill.h"

/// @brief A description/value pair of a user-defined text frame ("TXXX") or a
/// comment frame ("COMM", with a three-byte language code).
///
/// User-defined strings cross the interface of CTagmill as vectors of shared
/// pointers (CTagmill::GetUserDefinedString(),
/// CTagmill::PutUserDefinedString()). Create one with std::make_shared and
/// SetData(); the commit gives it the property's description. For a comment
/// (9233) set the language too. Unlike the other records it can be copied.
///
/// The block handed out by GetFrameData() comes from CoTaskMemAlloc and belongs
/// to the caller, who frees it with CoTaskMemFree.
class TAGMILL_API CTagmill::CUserDefinedString {
public:
    /// An empty record: empty value and description, text encoding 1, language
    /// three zero bytes.
    CUserDefinedString();
    /// Copies value, description, text encoding and language.
    CUserDefinedString(const CUserDefinedString &other);
    /// @brief Copies value, description, text encoding and language.
    /// @return this record.
    CUserDefinedString &operator=(const CUserDefinedString &other);
    /// Empties the record.
    virtual ~CUserDefinedString();

    /// @brief Replaces the value (the frame's text).
    /// @return S_OK; E_OUTOFMEMORY.
    long SetData(const std::wstring &value);
    /// @brief Copies the value into value.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetData(std::wstring &value) const;
    /// @brief Replaces the description.
    /// @return S_OK; E_OUTOFMEMORY.
    long SetDescription(const std::wstring &description);
    /// @brief Copies the description into description.
    /// @return S_OK; E_OUTOFMEMORY.
    long GetDescription(std::wstring &description) const;

    // The comment layout's language code (three bytes; zero in a new record)
    // and the text encoding byte of the last parsed payload (1 in a new record).
    // The payloads that GetFrameData builds use neither: a comment frame is
    // written by putting these three bytes right after the encoding byte.
    /// @brief Copies the three language bytes (e.g. "eng") into language.
    /// @return S_OK; E_POINTER for a null language.
    long GetLanguage(unsigned char language[3]) const;
    /// @brief Replaces the three language bytes written into a comment frame.
    /// @return S_OK; E_POINTER for a null language.
    long SetLanguage(const unsigned char language[3]);
    /// @brief Encoding byte of the last payload parsed (1 in a new record).
    unsigned char TextEncoding() const { return m_textEncoding; }

    // Reads a user-defined text payload, or a comment payload when
    // withLanguage is set. E_POINTER for a null payload, E_INVALIDARG for a
    // size of 0 or less, E_UNEXPECTED for a comment payload under 4 bytes,
    // E_FAIL when a UTF-16 or UTF-8 field is under 2 bytes.
    /// @brief Reads a payload: encoding byte, [language,] description, value.
    /// @param payload the frame data.
    /// @param size its length in bytes.
    /// @param withLanguage true for a comment payload (three language bytes
    /// after the encoding byte), false for a user-defined text payload.
    /// @return S_OK; E_POINTER for a null payload; E_INVALIDARG for a size of 0
    /// or less; E_UNEXPECTED for a comment payload under 4 bytes; E_FAIL when a
    /// UTF-16 or UTF-8 field is under 2 bytes; E_OUTOFMEMORY.
    long ParseFrameData(const unsigned char *payload, long size, bool withLanguage);
    // Size of the user-defined text payload in the Unicode form (encoding 1,
    // byte order marks, UTF-16LE) or the single-byte form (encoding 0).
    /// @brief Size of the payload GetFrameData() builds: 2 x (UTF-16 units of
    /// description and value) + 9 when unicode, else the ISO-8859-1 lengths + 3.
    long GetFrameDataSize(bool unicode) const;
    // Hands out that payload in a block from CoTaskMemAlloc, which the caller
    // releases with CoTaskMemFree. A null `data` asks for nothing; a null
    // `size` gives E_POINTER.
    /// @brief Builds a user-defined text payload (no language bytes).
    /// @param[out] data receives a CoTaskMemAlloc block that the caller frees
    /// with CoTaskMemFree (null first); a null data asks for nothing.
    /// @param[out] size the payload size.
    /// @param unicode true: encoding 1, FF FE, UTF-16LE description, 00 00,
    /// FF FE, UTF-16LE value, 00 00; false: encoding 0, ISO-8859-1 description,
    /// 0, value, 0.
    /// @return S_OK; E_POINTER for a null size; E_INVALIDARG when the size
    /// cannot be computed; E_OUTOFMEMORY.
    long GetFrameData(unsigned char **data, long *size, bool unicode) const;

private:
    unsigned long getStringFieldSize(unsigned char encoding, const unsigned char *field,
                                     unsigned long length) const;
    static long decodeField(unsigned char encoding, const unsigned char *field, unsigned long length,
                            std::wstring &out);
    long DeleteData();

    std::wstring m_value;
    std::wstring m_description;
    unsigned char m_textEncoding = 1;
    unsigned char m_language[3] = {0, 0, 0};
};

#endif
