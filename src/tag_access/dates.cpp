// The release date (property 5120) and its year: reading it from the date
// frames of the tag (with the ID3v1 year as last resort) into the cache,
// writing it back in the frame layout that suits the tag, and deleting it.
#include <cstdint>
#include <cwchar>
#include <string>

#include "tag_access/number_text.h"
#include "tag_access/mapping.h"
#include "tagmill/tagmill.h"

using namespace tagmill;

namespace {

constexpr long kDateId = mapping::kDateId;

// The cached date that stands for "no release date" (1 January 100).
constexpr double kNoDate = -657434.0;

// Years before 1000 are not four-digit years: read as no date, never written.
constexpr int kFirstYear = 1000;
constexpr int kLastYear = 9999;

// Frame IDs of the date frames. ID3v2.2 has a year, a date (DDMM) and a time
// frame; ID3v2.3 adds nothing but four-character IDs; ID3v2.4 replaces all
// three by one recording-time frame, which ID3v2.3 tags written by newer
// taggers carry as well.
constexpr uint32_t kYearV22 = mapping::FrameId("TYE");
constexpr uint32_t kDateV22 = mapping::FrameId("TDA");
constexpr uint32_t kTimeV22 = mapping::FrameId("TIM");
constexpr uint32_t kYearV23 = mapping::FrameId("TYER");
constexpr uint32_t kDateV23 = mapping::FrameId("TDAT");
constexpr uint32_t kRecordingTime = mapping::FrameId("TDRC");

bool IsFourDigitYear(int year) { return year >= kFirstYear && year <= kLastYear; }

// The date conversion takes 16-bit parts; wider numbers read from a tag keep
// their low 16 bits, as the conversion's argument type gives them.
bool ToDate(int year, int month, int day, double &date) {
    return CXDate::PartsToDate(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                               static_cast<uint16_t>(day), 0, 0, 0, date);
}

} // namespace

long CTagmill::GetDate(long propertyId, double &date) {
    if (!m_opened) return E_UNEXPECTED;
    if (propertyId != kDateId) return E_PROPERTY_UNSUPPORTED;
    if (m_releaseDate == kNoDate) return E_PROPERTY_ABSENT;
    date = m_releaseDate;
    return S_OK;
}

long CTagmill::PutDate(long propertyId, double &date) {
    if (!m_opened) return E_UNEXPECTED;
    if (propertyId != kDateId) return E_PROPERTY_UNSUPPORTED;
    return PutReleasedDateTime(date);
}

long CTagmill::GetYearString(std::wstring &year) {
    if (!m_opened) return E_UNEXPECTED;
    if (m_yearString.empty()) return E_PROPERTY_ABSENT;
    year = m_yearString;
    return S_OK;
}

// Moves the release date into another year on the same month and day. Month
// and day come from the tag as stored, so a date put earlier in the same edit
// does not count.
long CTagmill::PutYearString(const std::wstring &year) {
    if (!m_opened) return E_UNEXPECTED;
    if (year.size() != 4) return E_INVALIDARG;
    const int newYear = numbertext::LeadingNumber(year);
    if (!IsFourDigitYear(newYear)) return E_INVALIDARG;

    int month = 1;
    int day = 1;
    double stored = kNoDate;
    DateParts parts;
    if (Succeeded(GetDateInternal(kDateId, stored)) && CXDate::DateToParts(stored, parts)) {
        month = parts.month;
        day = parts.day;
    }
    double date;
    // 29 February cannot move into a common year.
    if (!ToDate(newYear, month, day, date)) return E_FAIL;
    return PutReleasedDateTime(date);
}

long CTagmill::GetDateInternal(long propertyId, double &date) {
    if (propertyId != kDateId) return E_PROPERTY_UNSUPPORTED;
    const long hr = GetReleasedDateTime();
    date = m_releaseDate;
    return hr;
}

// Reads the date from the tag as stored. The recording-time frame wins when
// there is one; otherwise the year and date frames are read, each optional;
// otherwise the ID3v1 year gives 1 January of that year. Only the day is read:
// a date from the tag always falls on midnight.
long CTagmill::GetReleasedDateTime() {
    unsigned yearId = 0, dateId = 0, timeId = 0, recordingId = 0;
    long hr = MakeReleasedDateTimeFrame(yearId, dateId, timeId, recordingId);
    if (Failed(hr)) return hr;

    int year = 0;
    int month = 1;
    int day = 1;
    bool found = false;
    std::wstring text;
    if ((m_version == TAV_ID3_V23 || m_version == TAV_ID3_V24) && Succeeded(GetV2Data2(recordingId, text))) {
        found = true;
        int hour = 0, minute = 0, second = 0;
        parseRecordingTime(text, year, month, day, hour, minute, second);
    } else {
        text.clear();
        if (Succeeded(GetV2Data2(yearId, text))) {
            found = true;
            year = numbertext::LeadingNumber(text);
            if (IsFourDigitYear(year)) m_yearString = text;
        }
        text.clear();
        if (Succeeded(GetV2Data2(dateId, text))) {
            found = true;
            // The frame holds DDMM; a second pair above 12 cannot be a month,
            // so MMDD as some taggers wrote it is accepted as well.
            const int32_t number = numbertext::LeadingNumber(text);
            day = number / 100;
            month = number % 100;
            if (month >= 13) {
                month = number / 100;
                day = number % 100;
            }
        }
    }

    if (!found) {
        int32_t v1Year = 0;
        if (tav_id3_v1_get_year(&m_context, &v1Year) != TAV_OK || v1Year == 0) return E_PROPERTY_ABSENT;
        year = v1Year;
        month = 1;
        day = 1;
    }

    double date;
    if (!ToDate(year, month, day, date)) return E_FAIL;
    m_releaseDate = year < kFirstYear ? kNoDate : date;
    return S_OK;
}

// Writes the date's day (the time of day is dropped) into the tag. Which
// frames carry it depends on the version and on what the tag held before:
// an ID3v2.4 tag gets the recording-time frame unless it used the separate
// year and date frames; an ID3v2.3 tag keeps the recording-time frame only if
// it had one. The year frame is always written beside the recording time, for
// readers that know only the older frames.
long CTagmill::PutReleasedDateTime(const double &date) {
    if (!m_opened) return E_UNEXPECTED;
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    unsigned yearId = 0, dateId = 0, timeId = 0, recordingId = 0;
    hr = MakeReleasedDateTimeFrame(yearId, dateId, timeId, recordingId);
    if (Failed(hr)) return hr;

    const double value = date; // the caller's variable may be the cache itself
    if (value == kNoDate) {
        DeleteReleasedDateTime();
        return S_OK;
    }

    int year = 0;
    int month = 1;
    int day = 1;
    wchar_t yearBuffer[5] = {};
    wchar_t dateBuffer[5] = {};
    if (CXDate::GetYear(value, year) && std::swprintf(yearBuffer, 5, L"%04d", year) < 0) return E_UNEXPECTED;
    // The date frame holds the day first, then the month: 3 May is 0305.
    if (CXDate::GetMonth(value, month) && CXDate::GetDay(value, day) &&
        std::swprintf(dateBuffer, 5, L"%02d%02d", day, month) < 0)
        return E_UNEXPECTED;
    const std::wstring yearText(yearBuffer);
    const std::wstring dateText(dateBuffer);

    double newDate;
    if (!ToDate(year, month, day, newDate) || year < kFirstYear) return E_FAIL;

    bool hadYear = false, hadDate = false, hadRecordingTime = false;
    hr = checkDateFrameExist(hadYear, hadDate, hadRecordingTime);
    if (Failed(hr)) return hr;

    DeleteReleasedDateTime();

    bool recordingLayout = false;
    if (m_version == TAV_ID3_V24) recordingLayout = hadRecordingTime || (!hadYear && !hadDate);
    else if (m_version == TAV_ID3_V23) recordingLayout = hadRecordingTime;

    if (recordingLayout) {
        // yyyy-MM-dd from the year and the DDMM date text.
        const std::wstring recordingText = yearText + L'-' + dateText.substr(2, 2) + L'-' + dateText.substr(0, 2);
        hr = SetV2Data(recordingId, recordingText, false);
        if (Failed(hr)) return hr;
        hr = SetV2Data(yearId, yearText, false);
        if (Failed(hr)) return hr;
        if (hadDate) {
            hr = SetV2Data(dateId, dateText, false);
            if (Failed(hr)) return hr;
        }
        m_v1Year = year;
        m_v1YearSet = true;
    } else {
        hr = SetV2Data(yearId, yearText, false);
        if (Failed(hr)) return hr;
        m_v1Year = year;
        m_v1YearSet = true;
        hr = SetV2Data(dateId, dateText, false);
        if (Failed(hr)) return hr;
    }

    m_releaseDate = newDate;
    m_yearString = yearText;
    return S_OK;
}

// Removes every stored date frame from the edit and queues the ID3v1 year to
// be cleared. The time frame is left alone: no member reads or writes it.
long CTagmill::DeleteReleasedDateTime() {
    long hr = V2EditBegin();
    if (Failed(hr)) return hr;
    unsigned yearId = 0, dateId = 0, timeId = 0, recordingId = 0;
    hr = MakeReleasedDateTimeFrame(yearId, dateId, timeId, recordingId);
    if (Failed(hr)) return hr;

    for (const unsigned frameId : {recordingId, yearId, dateId}) {
        if (frameId == 0) continue; // the version has no such frame
        uint32_t count = 0;
        tav_id3_v2_get_frame_num(&m_context, frameId, &count);
        // From the last one down, so the remaining indices stay valid.
        for (int32_t index = static_cast<int32_t>(count) - 1; index >= 0; --index)
            tav_id3_v2_remove_frame(&m_context, frameId, index);
    }

    int32_t v1Year = 0;
    if (tav_id3_v1_get_year(&m_context, &v1Year) == TAV_OK) {
        m_v1Year = 0;
        m_v1YearSet = true;
    }
    m_releaseDate = kNoDate;
    m_yearString.clear();
    return S_OK;
}

// The caller zeroes the slots first; a slot the version has no frame for is
// left as it was.
long CTagmill::MakeReleasedDateTimeFrame(unsigned &year, unsigned &date, unsigned &time, unsigned &recordingTime) {
    switch (m_version) {
    case TAV_ID3_V22:
        year = kYearV22;
        date = kDateV22;
        time = kTimeV22;
        return S_OK;
    case TAV_ID3_V23:
    case TAV_ID3_V24:
        year = kYearV23;
        date = kDateV23;
        recordingTime = kRecordingTime;
        return S_OK;
    default:
        return E_PROPERTY_UNSUPPORTED;
    }
}

// Looks at the tag as stored in the content, not at the open edit.
long CTagmill::checkDateFrameExist(bool &year, bool &date, bool &recordingTime) {
    unsigned yearId = 0, dateId = 0, timeId = 0, recordingId = 0;
    const long hr = MakeReleasedDateTimeFrame(yearId, dateId, timeId, recordingId);
    if (Failed(hr)) return hr;
    const auto present = [this](unsigned frameId) {
        uint32_t count = 0;
        return frameId != 0 && tav_id3_v2_get_frame_num(&m_context, frameId, &count) == TAV_OK && count > 0;
    };
    if (present(yearId)) year = true;
    if (present(dateId)) date = true;
    if (present(recordingId)) recordingTime = true;
    return S_OK;
}
