// Result codes of CTagmill and its record classes: 0 and 1 are success, failures
// are negative. The values are 32-bit HRESULTs stored sign-extended in a long,
// so `hr < 0` means failure on every data model.
/// @file
/// @brief Result codes of CTagmill and its record classes.
#ifndef TAGMILL_RESULT_H
#define TAGMILL_RESULT_H

#include <cstdint>

#include "tagmill/export.h"

/// Result codes and their helpers.
namespace tagmill {

/// @brief A 32-bit HRESULT value as a sign-extended long (failures negative).
constexpr long hresult(uint32_t code) { return static_cast<long>(static_cast<int32_t>(code)); }

#ifdef _WIN32
// The Windows headers define the system's seven names below as macros of the
// same values; they are set aside while the constants are declared and come
// back after. In a file that includes <windows.h>, write S_OK rather than
// tagmill::S_OK (the macro would take the place of the name).
#pragma push_macro("S_OK")
#pragma push_macro("S_FALSE")
#pragma push_macro("E_POINTER")
#pragma push_macro("E_FAIL")
#pragma push_macro("E_UNEXPECTED")
#pragma push_macro("E_INVALIDARG")
#pragma push_macro("E_OUTOFMEMORY")
#undef S_OK
#undef S_FALSE
#undef E_POINTER
#undef E_FAIL
#undef E_UNEXPECTED
#undef E_INVALIDARG
#undef E_OUTOFMEMORY
#endif
constexpr long S_OK = 0;                             ///< success
constexpr long S_FALSE = 1;                          ///< success with nothing to report (no ID3v2 tag, no such object)
constexpr long E_POINTER = hresult(0x80004003u);     ///< 0x80004003: a required pointer is null
constexpr long E_FAIL = hresult(0x80004005u);        ///< 0x80004005: engine failure, bad encoding byte, nothing to commit
constexpr long E_UNEXPECTED = hresult(0x8000FFFFu);  ///< 0x8000FFFF: no content is open
constexpr long E_INVALIDARG = hresult(0x80070057u);  ///< 0x80070057: bad open mode or argument
constexpr long E_OUTOFMEMORY = hresult(0x8007000Eu); ///< 0x8007000E: memory ran out
constexpr long E_FILE_NOT_FOUND = hresult(0x80040412u);  ///< 0x80040412: the file to open does not exist
constexpr long E_OPEN_FAILED = hresult(0x80040416u);     ///< 0x80040416: already open, or the file failed to open
constexpr long E_PROPERTY_ABSENT = hresult(0x80040A04u); ///< 0x80040A04: no such frame, empty value, no date
constexpr long E_PROPERTY_UNSUPPORTED = hresult(0x80040A05u); ///< 0x80040A05: identifier not of this member's kind
#ifdef _WIN32
#pragma pop_macro("S_OK")
#pragma pop_macro("S_FALSE")
#pragma pop_macro("E_POINTER")
#pragma pop_macro("E_FAIL")
#pragma pop_macro("E_UNEXPECTED")
#pragma pop_macro("E_INVALIDARG")
#pragma pop_macro("E_OUTOFMEMORY")
#endif

/// True for S_OK, S_FALSE and every other non-negative code.
inline bool Succeeded(long hr) { return hr >= 0; }
/// True for every failure (negative code).
inline bool Failed(long hr) { return hr < 0; }

// Short symbolic name of a result code ("E_FAIL"), or "unknown".
/// @brief Short symbolic name of a result code ("E_FAIL"), or "unknown".
/// Zero-extended values (0x80004005 as a positive long) are named too.
TAGMILL_API const char *ResultName(long hr);
// One-line meaning of a result code, for messages to people.
/// @brief One-line meaning of a result code, for messages to people.
TAGMILL_API const char *ResultMessage(long hr);

} // namespace tagmill

#endif
