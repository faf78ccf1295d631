// Fuzz target: the same bytes as a file, opened for reading and writing (as an
// AIFF file too when they start with "FORM"), read, given a few puts, closed
// (which rewrites the file through a temporary file) and opened again.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"

using namespace fuzzsupport;

namespace {

const std::string &InputPath() {
    static const std::string path = ScratchDirectory() + "/input";
    return path;
}

std::wstring WidePath() {
    const std::string &path = InputPath();
    return std::wstring(path.begin(), path.end());
}

bool WriteInput(const uint8_t *data, size_t size) {
    FILE *file = std::fopen(InputPath().c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

// The file can grow by what the puts add; anything beyond is the tag's claim.
size_t FileCopyLimit(size_t size) { return size + 0x10000; }

void EditAndReopen(const uint8_t *data, size_t size, bool aiff, bool updateV1) {
    if (!WriteInput(data, size)) return;
    {
        CTagmill tag;
        const long opened = aiff ? tag.OpenForAiff(WidePath(), 2) : tag.Open2(WidePath(), 2, updateV1);
        if (opened != tagmill::S_OK) return;
        ReadEveryProperty(tag);
        ReadRawAccess(tag, FileCopyLimit(size));
        PutEachKind(tag, DeriveValues(data, size));
        tag.Close();
    }
    CTagmill reread;
    const long opened = aiff ? reread.OpenForAiff(WidePath(), 1) : reread.Open(WidePath(), 1);
    if (opened != tagmill::S_OK) return;
    ReadEveryProperty(reread);
    ReadRawAccess(reread, FileCopyLimit(size) + 0x10000);
    reread.Close();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    ScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const bool updateV1 = size == 0 || (data[size - 1] & 1) == 0;
    EditAndReopen(data, size, false, updateV1);
    if (size >= 4 && std::memcmp(data, "FORM", 4) == 0) EditAndReopen(data, size, true, false);
    unlink(InputPath().c_str());
    return 0;
}
