// Implementation of the record-property test helpers.
#include "support/record_props_support.h"

#include <cstdio>
#include <cstdlib>


namespace testsupport {

namespace {
const char kPython[] = "/usr/bin/python3";
} // namespace

Bytes ApicPayload(const std::string &mime, uint8_t type, const std::string &description, const Bytes &data) {
    return Concat({Bytes{0}, Ascii(mime), Bytes{0, type}, Ascii(description), Bytes{0}, data});
}

Bytes GeobPayload(const std::string &mime, const std::string &description, const Bytes &data) {
    return Concat({Bytes{0}, Ascii(mime), Bytes{0, 0}, Ascii(description), Bytes{0}, data});
}

Bytes TxxxPayload(const std::string &description, const std::string &value) {
    return Concat({Bytes{0}, Ascii(description), Bytes{0}, Ascii(value)});
}

Bytes CommentUtf16(const std::string &language, const std::wstring &description, const std::wstring &value) {
    return Concat({Bytes{1}, Ascii(language), Bytes{0xFF, 0xFE}, Utf16LeBytes(description), Bytes{0, 0, 0xFF, 0xFE},
                   Utf16LeBytes(value), Bytes{0, 0}});
}

Bytes UfidPayload(const std::string &owner, size_t idBytes, uint8_t fill) {
    return Concat({Ascii(owner), Bytes{0}, Bytes(idBytes, fill)});
}

std::string Hex(const Bytes &bytes) {
    std::string hex;
    for (uint8_t b : bytes) {
        hex += "0123456789abcdef"[b >> 4];
        hex += "0123456789abcdef"[b & 15];
    }
    return hex;
}

Bytes Mp3(int major, const FrameList &frames, size_t padding) {
    return Concat({TagV2(major, frames, padding), FakeAudio(2)});
}

bool HaveMutagen() {
#ifdef _WIN32
    return false; // the Python peer lives on the build machine, not under Windows
#endif
    static const bool have =
        std::system((std::string(kPython) + " -c 'import mutagen.id3' >/dev/null 2>&1").c_str()) == 0;
    return have;
}

bool RunPeerScript(const std::string &name, const std::string &args, std::string *out) {
    const std::string script = std::string(TAGMILL_SOURCE_DIR) + "/tests/tag_access/peers/" + name;
    out->clear();
#ifdef _WIN32
    (void)script;
    return false;
#else
    FILE *pipe = popen(("PYTHONIOENCODING=utf-8 " + std::string(kPython) + " " + script + " " + args).c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[4096];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out->append(chunk, n);
    return pclose(pipe) == 0;
#endif
}

} // namespace testsupport
