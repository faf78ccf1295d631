// CTagmill::CUserDefinedString: one description/value pair, the payload of a
// user-defined text frame ("TXXX", "TXX") or of a comment frame ("COMM",
// "COM"), which adds a three-byte language code after the encoding byte.
#ifndef TAGMILL_USER_DEFINED_STRING_H
#define TAGMILL_USER_DEFINED_STRING_H

#include <string>

#include "tagmill/tagmill.h"

class CTagmill::CUserDefinedString {
public:
    CUserDefinedString();
    CUserDefinedString(const CUserDefinedString &other);
    CUserDefinedString &operator=(const CUserDefinedString &other);
    virtual ~CUserDefinedString();

    long SetData(const std::wstring &value);
    long GetData(std::wstring &value) const;
    long SetDescription(const std::wstring &description);
    long GetDescription(std::wstring &description) const;

    // The comment layout's language code (three bytes; zero in a new record)
    // and the text encoding byte of the last parsed payload (1 in a new record).
    // The payloads that GetFrameData builds use neither: a comment frame is
    // written by putting these three bytes right after the encoding byte.
    long GetLanguage(unsigned char language[3]) const;
    long SetLanguage(const unsigned char language[3]);
    unsigned char TextEncoding() const { return m_textEncoding; }

    // Reads a user-defined text payload, or a comment payload when
    // withLanguage is set. E_POINTER for a null payload, E_INVALIDARG for a
    // size of 0 or less, E_UNEXPECTED for a comment payload under 4 bytes,
    // E_FAIL when a UTF-16 or UTF-8 field is under 2 bytes.
    long ParseFrameData(const unsigned char *payload, long size, bool withLanguage);
    // Size of the user-defined text payload in the Unicode form (encoding 1,
    // byte order marks, UTF-16LE) or the single-byte form (encoding 0).
    long GetFrameDataSize(bool unicode) const;
    // Hands out that payload in a block from CoTaskMemAlloc, which the caller
    // releases with CoTaskMemFree. A null `data` asks for nothing; a null
    // `size` gives E_POINTER.
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
