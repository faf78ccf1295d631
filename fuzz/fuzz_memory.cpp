// Fuzz target: a memory image of arbitrary bytes, opened for reading, read
// through every getter, given one put of each kind, committed, and read back.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"

using namespace fuzzsupport;

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    // An exactly sized copy, so a read past the image's end is caught.
    std::vector<unsigned char> image(data, data + size);
    unsigned char one = 0;
    CTagmill tag;
    if (tag.OpenFromMemory(size ? image.data() : &one, static_cast<unsigned int>(size), 1) != tagmill::S_OK)
        return 0;

    // Nothing a 64 KiB input holds can fill a bigger tag.
    const size_t copyLimit = size + 0x10000;
    ReadEveryProperty(tag);
    ReadRawAccess(tag, copyLimit);

    const PutValues values = DeriveValues(data, size);
    const bool titlePut = PutEachKind(tag, values);
    const long committed = tag.UpdateOnMemory();
    ReadEveryProperty(tag);
    ReadRawAccess(tag, copyLimit);
    if (committed == tagmill::S_OK && titlePut && values.titleIsClean)
        CheckTitleReadsBack(CopyRawTag(tag, copyLimit), values.title);
    tag.Close();
    return 0;
}
