// Reading the leading decimal number of a text, as the year, date, genre and
// track number texts hold them.
#ifndef TAGMILL_TAG_ACCESS_NUMBER_TEXT_H
#define TAGMILL_TAG_ACCESS_NUMBER_TEXT_H

#include <cstdint>
#include <string>

namespace tagmill {
namespace numbertext {

// The leading base-10 number of a text, read as the C runtime's strtol reads
// it where long is 32 bits wide: white space, then an optional sign, then
// digits up to the first non-digit. No digits give 0; a number beyond the
// 32-bit range gives the nearest limit, whatever the width of long here.
int32_t LeadingNumber(const std::string &text);
int32_t LeadingNumber(const std::wstring &text);

} // namespace numbertext
} // namespace tagmill

#endif
