// What the content fuzz targets do with an open object: call every reader on
// every property identifier, put one value of each kind (values derived from
// the input, so odd code points, dates and sizes get exercised too) and check
// that a committed tag reads back. Any inconsistency aborts, so the fuzzer
// keeps the input.
#ifndef TAGMILL_FUZZ_SUPPORT_H
#define TAGMILL_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tagmill/tagmill.h"

namespace fuzzsupport {

// Values that the puts write, derived from the last bytes of the input.
struct PutValues {
    std::wstring title;      // any 24-bit code points, surrogates and U+0000 included
    bool titleIsClean = false; // only scalar values, no U+0000: it must read back as put
    std::wstring text;       // second string, narrowed to ISO-8859-1 where the frame wants it
    std::wstring year;
    double date = 0;
    std::vector<unsigned char> blob; // picture, object and music-ID bytes
};

PutValues DeriveValues(const uint8_t *data, size_t size);

// Every getter for every identifier of its kind (and a few of another kind),
// touching every record that comes back.
void ReadEveryProperty(CTagmill &tag);

// GetFrameOffset for every identifier, then the raw tag: size query and copy.
// The copy is skipped when the tag claims more than `copyLimit` bytes.
void ReadRawAccess(CTagmill &tag, size_t copyLimit);

// One put of each kind. Returns whether the title put succeeded.
bool PutEachKind(CTagmill &tag, const PutValues &values);

// Reads the title back from a committed image and aborts when it differs
// (unless a read-only title frame, which no put can remove, comes first).
void CheckTitleReadsBack(const std::vector<unsigned char> &image, const std::wstring &title);

// The tag of an object as last committed (empty when there is none or when
// it claims more than copyLimit bytes).
std::vector<unsigned char> CopyRawTag(CTagmill &tag, size_t copyLimit);

// A per-process scratch directory (on a memory file system when there is one);
// temporary files of rewrites go there too.
const std::string &ScratchDirectory();

} // namespace fuzzsupport

#endif
