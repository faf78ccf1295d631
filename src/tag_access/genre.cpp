// Genre numbers: the ID3v1 genre byte of a genre text. A text frame may refer
// to the numbered genre list with "(n)", optionally followed by a refinement;
// any other text has no number, which the ID3v1 tag spells 148.
#include "tag_access/number_text.h"
#include "tag_access/text_codec.h"
#include "tagmill/tagmill.h"

namespace {
constexpr unsigned char kNoGenre = 148;
}

unsigned char CTagmill::getNumericalGenre(const std::wstring &text) const {
    const std::string narrow = tagmill::text::ToLatin1(text);
    if (narrow.size() < 3 || narrow[0] != '(') return kNoGenre;

    size_t pos = 1;
    while (pos < narrow.size() && narrow[pos] >= '0' && narrow[pos] <= '9') ++pos;
    if (pos >= narrow.size() || narrow[pos] != ')') return kNoGenre;

    // "()" reads as 0, and numbers beyond a byte keep their low 8 bits: (300)
    // is genre 44, and one beyond the 32-bit range reads as 2^31-1, genre 255.
    return static_cast<unsigned char>(tagmill::numbertext::LeadingNumber(narrow.substr(1)) & 0xFF);
}
