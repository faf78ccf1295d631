// The leading number of a text, saturated at the 32-bit limits so that every
// platform reads the same number from the same text.
#include "tag_access/number_text.h"

#include <cstdlib>
#include <cwchar>

namespace {

int32_t Saturate(long number) {
    if (number > INT32_MAX) return INT32_MAX;
    if (number < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(number);
}

} // namespace

int32_t tagmill::numbertext::LeadingNumber(const std::string &text) {
    return Saturate(std::strtol(text.c_str(), nullptr, 10));
}

int32_t tagmill::numbertext::LeadingNumber(const std::wstring &text) {
    return Saturate(std::wcstol(text.c_str(), nullptr, 10));
}
