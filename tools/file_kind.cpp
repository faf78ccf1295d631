// File kind detection by magic bytes. A file counts as MPEG-style when it starts
// with an ID3v2 header, ends with an ID3v1 tag or an ID3v2 footer, or has a
// plausible MPEG audio frame header within its first 64 KiB. The test keeps
// `set` from writing tags into text files and the like; picking audio files
// out of a directory uses the cheaper look at the first bytes only.
#include "file_kind.h"


#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

#include "host_files.h"
#include "utf8.h"

namespace tool {

namespace {

constexpr size_t kHeadScan = 64 * 1024;
constexpr size_t kTailScan = 128 + 10; // an ID3v1 tag with an ID3v2 footer before it

using Bytes = std::vector<unsigned char>;

bool StartsWith(const Bytes &bytes, size_t at, const char *magic) {
    const size_t n = std::strlen(magic);
    return at + n <= bytes.size() && std::memcmp(bytes.data() + at, magic, n) == 0;
}

// Sync word, then no reserved version, layer, bitrate or sample rate: a header
// that a decoder would accept.
bool IsMpegFrameHeader(const Bytes &b, size_t at) {
    if (at + 4 > b.size() || b[at] != 0xFF || (b[at + 1] & 0xE0) != 0xE0) return false;
    const int version = (b[at + 1] >> 3) & 3;
    const int layer = (b[at + 1] >> 1) & 3;
    const int bitrate = b[at + 2] >> 4;
    const int sampleRate = (b[at + 2] >> 2) & 3;
    return version != 1 && layer != 0 && bitrate != 0 && bitrate != 15 && sampleRate != 3;
}

bool HasMpegFrame(const Bytes &head) {
    for (size_t i = 0; i + 4 <= head.size(); ++i)
        if (IsMpegFrameHeader(head, i)) return true;
    return false;
}

// The first bytes (all of them, up to kHeadScan, unless `full` is false:
// then the first twelve) and, with `full`, the last bytes.
bool ReadEnds(const std::string &path, uint64_t size, bool full, Bytes &head, Bytes &tail) {
    std::ifstream in(host::Native(path), std::ios::binary);
    if (!in) return false;
    head.resize(static_cast<size_t>(std::min<uint64_t>(size, full ? kHeadScan : 12)));
    in.read(reinterpret_cast<char *>(head.data()), static_cast<std::streamsize>(head.size()));
    if (static_cast<size_t>(in.gcount()) != head.size()) return false;
    if (!full) return true;
    tail.resize(static_cast<size_t>(std::min<uint64_t>(size, kTailScan)));
    in.seekg(static_cast<std::streamoff>(size - tail.size()));
    in.read(reinterpret_cast<char *>(tail.data()), static_cast<std::streamsize>(tail.size()));
    return static_cast<size_t>(in.gcount()) == tail.size();
}

bool HasTrailingTag(const Bytes &tail) {
    const size_t n = tail.size();
    if (n >= 128 && StartsWith(tail, n - 128, "TAG")) return true;
    if (n >= 10 && StartsWith(tail, n - 10, "3DI")) return true;
    return n >= 138 && StartsWith(tail, n - 138, "3DI");
}

} // namespace

FileKind ClassifyFile(const std::string &path) {
    host::Status st {};
    if (host::Stat(path, &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileKind::Missing : FileKind::Unreadable;
    if (S_ISDIR(st.st_mode)) return FileKind::Directory;
    // The first twelve bytes tell most files; only the others need the scan.
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    Bytes head, tail;
    for (bool full : {false, true}) {
        if (!ReadEnds(path, size, full, head, tail)) return FileKind::Unreadable;
        if (StartsWith(head, 0, "FORM") && (StartsWith(head, 8, "AIFF") || StartsWith(head, 8, "AIFC")))
            return FileKind::Aiff;
        if (StartsWith(head, 0, "ID3")) return FileKind::Mpeg;
    }
    return HasTrailingTag(tail) || HasMpegFrame(head) ? FileKind::Mpeg : FileKind::Unknown;
}

bool StartsLikeAudio(const unsigned char *head, size_t size) {
    const Bytes bytes(head, head + size);
    if (StartsWith(bytes, 0, "ID3")) return true;
    if (StartsWith(bytes, 0, "FORM") && (StartsWith(bytes, 8, "AIFF") || StartsWith(bytes, 8, "AIFC")))
        return true;
    return IsMpegFrameHeader(bytes, 0);
}

const char *KindName(FileKind kind) {
    switch (kind) {
    case FileKind::Missing: return "missing";
    case FileKind::Directory: return "directory";
    case FileKind::Unreadable: return "unreadable";
    case FileKind::Aiff: return "aiff";
    case FileKind::Mpeg: return "mpeg";
    case FileKind::Unknown: return "unknown";
    }
    return "unknown";
}

long OpenByKind(CTagmill &tag, const std::string &path, FileKind kind, long openMode, bool updateV1) {
    const std::wstring wide = Widen(path);
    if (kind == FileKind::Aiff) return tag.OpenForAiff(wide, openMode);
    return tag.Open2(wide, openMode, updateV1);
}

} // namespace tool
