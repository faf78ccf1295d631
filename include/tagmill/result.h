// Result codes of CTagmill and its record classes: 0 and 1 are success, failures
// are negative. The values are 32-bit HRESULTs stored sign-extended in a long,
// so `hr < 0` means failure on every data model.
#ifndef TAGMILL_RESULT_H
#define TAGMILL_RESULT_H

#include <cstdint>

namespace tagmill {

constexpr long hresult(uint32_t code) { return static_cast<long>(static_cast<int32_t>(code)); }

constexpr long S_OK = 0;
constexpr long S_FALSE = 1;                          // nothing to report
constexpr long E_POINTER = hresult(0x80004003u);     // null pointer, empty converter input
constexpr long E_FAIL = hresult(0x80004005u);        // engine failure, bad encoding byte, nothing to commit
constexpr long E_UNEXPECTED = hresult(0x8000FFFFu);  // no content open
constexpr long E_INVALIDARG = hresult(0x80070057u);  // bad open mode, bad argument
constexpr long E_OUTOFMEMORY = hresult(0x8007000Eu); // allocation failed
constexpr long E_FILE_NOT_FOUND = hresult(0x80040412u);  // the file to open does not exist
constexpr long E_OPEN_FAILED = hresult(0x80040416u);     // already open, or the file failed to open
constexpr long E_PROPERTY_ABSENT = hresult(0x80040A04u); // no such frame, empty value, no date
constexpr long E_PROPERTY_UNSUPPORTED = hresult(0x80040A05u); // identifier not of this member's kind

inline bool Succeeded(long hr) { return hr >= 0; }
inline bool Failed(long hr) { return hr < 0; }

// Short symbolic name of a result code ("E_FAIL"), or "unknown".
const char *ResultName(long hr);
// One-line meaning of a result code, for messages to people.
const char *ResultMessage(long hr);

} // namespace tagmill

#endif
