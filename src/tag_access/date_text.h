// Reading the text of date frames: the leading decimal number of a text, as
// the year, date and recording-time frames hold them.
#ifndef TAGMILL_TAG_ACCESS_DATE_TEXT_H
#define TAGMILL_TAG_ACCESS_DATE_TEXT_H

#include <cstdint>
#include <string>

namespace tagmill {
namespace datetext {

// The leading base-10 number of a text: white space, then an optional sign,
// then digits up to the first non-digit. No digits give 0; a number beyond
// the 32-bit range gives the nearest limit.
int32_t LeadingNumber(const std::wstring &text);

} // namespace datetext
} // namespace tagmill

#endif
