// Helpers for tests of the record-valued properties (pictures, music ID,
// objects, user-defined strings), of raw tag access and of the peer checks:
// frame payload builders and running Python scripts that read tags with
// mutagen.
#ifndef TAGMILL_TEST_RECORD_PROPS_SUPPORT_H
#define TAGMILL_TEST_RECORD_PROPS_SUPPORT_H

#include <cstdio>
#include <cstdlib>

#include "support/test_support.h"

namespace testsupport {

// Payload builders, all with text encoding 0 except CommentUtf16.
inline Bytes ApicPayload(const std::string &mime, uint8_t type, const std::string &description, const Bytes &data) {
    return Concat({Bytes{0}, Ascii(mime), Bytes{0, type}, Ascii(description), Bytes{0}, data});
}
inline Bytes GeobPayload(const std::string &mime, const std::string &description, const Bytes &data) {
    return Concat({Bytes{0}, Ascii(mime), Bytes{0, 0}, Ascii(description), Bytes{0}, data});
}
inline Bytes TxxxPayload(const std::string &description, const std::string &value) {
    return Concat({Bytes{0}, Ascii(description), Bytes{0}, Ascii(value)});
}
// Comment in UTF-16 with marks: 01, language, FF FE description 00 00, FF FE value 00 00.
inline Bytes CommentUtf16(const std::string &language, const std::wstring &description, const std::wstring &value) {
    return Concat({Bytes{1}, Ascii(language), Bytes{0xFF, 0xFE}, Utf16LeBytes(description), Bytes{0, 0, 0xFF, 0xFE},
                   Utf16LeBytes(value), Bytes{0, 0}});
}
inline Bytes UfidPayload(const std::string &owner, size_t idBytes, uint8_t fill = 0x5A) {
    return Concat({Ascii(owner), Bytes{0}, Bytes(idBytes, fill)});
}

// Lower-case hex digits of the bytes ("" for none).
inline std::string Hex(const Bytes &bytes) {
    std::string hex;
    for (uint8_t b : bytes) hex += std::string{"0123456789abcdef"[b >> 4], "0123456789abcdef"[b & 15]};
    return hex;
}

// An MP3 file image: a tag of the given major version, then audio.
inline Bytes Mp3(int major, const FrameList &frames, size_t padding = 64) {
    return Concat({TagV2(major, frames, padding), FakeAudio(2)});
}

// The system interpreter, where the distribution's python3-mutagen lives.
constexpr char kPeerPython[] = "/usr/bin/python3";

// Whether that interpreter can import mutagen; the peer checks skip when it cannot.
inline bool HaveMutagen() {
#ifdef _WIN32
    return false; // the Python peer lives on the build machine, not under Windows
#else
    static const bool have =
        std::system((std::string(kPeerPython) + " -c 'import mutagen.id3' >/dev/null 2>&1").c_str()) == 0;
    return have;
#endif
}

// Runs one of the peer scripts in tests/tag_access/peers/, by file name, with
// the (shell-quoted) arguments. *out receives its standard output as UTF-8;
// its standard error goes to the test log. True when it exits with status 0.
inline bool RunPeerScript(const std::string &name, const std::string &args, std::string *out) {
    const std::string script = std::string(TAGMILL_SOURCE_DIR) + "/tests/tag_access/peers/" + name;
    out->clear();
#ifdef _WIN32
    (void)script, (void)args;
    return false;
#else
    FILE *pipe = popen(("PYTHONIOENCODING=utf-8 " + std::string(kPeerPython) + " " + script + " " + args).c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[4096];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out->append(chunk, n);
    return pclose(pipe) == 0;
#endif
}

} // namespace testsupport

#endif
