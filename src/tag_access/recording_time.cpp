// The recording-time text of ID3v2.4 ("yyyy-MM-ddTHH:mm:ss", cut anywhere
// after the year).
#include <cstdint>
#include <string>

#include "tag_access/number_text.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

// The number of a text's first `width` characters: the last field of a cut
// recording time is read only that far, so "20190503" gives the year 2019.
int32_t NumberOfPrefix(const std::wstring &text, size_t width) {
    return numbertext::LeadingNumber(text.substr(0, width));
}

// Reads the field before `separator` into `field`, keeping its last two digits
// when `lastTwoDigits` is set, and drops it with the separator. Returns false
// (nothing consumed) when the separator is not there.
bool TakeField(std::wstring &text, wchar_t separator, bool lastTwoDigits, int &field) {
    const size_t at = text.find(separator);
    if (at == std::wstring::npos) return false;
    const int32_t number = numbertext::LeadingNumber(text.substr(0, at));
    field = lastTwoDigits ? number % 100 : number;
    text.erase(0, at + 1);
    return true;
}

} // namespace

// Each field ends at its separator ("-", "-", "T", ":", ":"); the text may stop
// after any field, and the last field present is read from at most its usual
// width. Fields that the text does not reach keep the caller's values.
long CTagmill::parseRecordingTime(std::wstring text, int &year, int &month, int &day, int &hour, int &minute,
                                  int &second) {
    // The year before its "-" is taken whole, not cut to four digits.
    if (!TakeField(text, L'-', false, year)) {
        year = NumberOfPrefix(text, 4);
        return S_OK;
    }
    if (!TakeField(text, L'-', true, month)) {
        month = NumberOfPrefix(text, 2);
        return S_OK;
    }
    if (!TakeField(text, L'T', true, day)) {
        day = NumberOfPrefix(text, 2);
        return S_OK;
    }
    if (!TakeField(text, L':', true, hour)) {
        hour = NumberOfPrefix(text, 2);
        return S_OK;
    }
    if (!TakeField(text, L':', true, minute)) {
        minute = NumberOfPrefix(text, 2);
        return S_OK;
    }
    second = NumberOfPrefix(text, 2);
    return S_OK;
}
