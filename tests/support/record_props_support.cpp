// Implementation of the record-property test helpers.
#include "support/record_props_support.h"

#include <cstdio>
#include <cstdlib>

#include "support/commit_support.h"

namespace testsupport {

namespace {
const char kPython[] = "/usr/bin/python3";
}

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

Bytes Mp3(int major, const FrameList &frames, size_t padding) {
    return Concat({TagV2(major, frames, padding), FakeAudio(2)});
}

Bytes Unsynchronise(const Bytes &body) {
    Bytes out;
    for (size_t i = 0; i < body.size(); ++i) {
        out.push_back(body[i]);
        if (body[i] == 0xFF && (i + 1 == body.size() || body[i + 1] >= 0xE0 || body[i + 1] == 0)) out.push_back(0);
    }
    return out;
}

bool HaveMutagen() {
    static const bool have =
        std::system((std::string(kPython) + " -c 'import mutagen.id3' >/dev/null 2>&1").c_str()) == 0;
    return have;
}

bool RunPython(const std::string &script, const std::string &args, std::string *out) {
    TempDir dir;
    const std::string path = dir.file("script.py");
    WriteFile(path, Bytes(script.begin(), script.end()));
    out->clear();
    FILE *pipe = popen(("PYTHONIOENCODING=utf-8 " + std::string(kPython) + " " + path + " " + args).c_str(), "r");
    if (pipe == nullptr) return false;
    char chunk[4096];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, pipe)) out->append(chunk, n);
    return pclose(pipe) == 0;
}

} // namespace testsupport
