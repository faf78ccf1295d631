// Implementation of the shared test helpers.
#include "support/test_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace testsupport {

namespace {
std::string TempRoot() {
    const char *t = std::getenv("TMPDIR");
    return (t && *t) ? t : "/tmp";
}

void RemoveTree(const std::string &path) {
    if (DIR *d = opendir(path.c_str())) {
        while (dirent *e = readdir(d)) {
            if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
            std::string child = path + "/" + e->d_name;
            struct stat st;
            if (lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
                chmod(child.c_str(), 0700);
                RemoveTree(child);
            } else {
                unlink(child.c_str());
            }
        }
        closedir(d);
    }
    rmdir(path.c_str());
}
} // namespace

TempDir::TempDir() {
    std::string tmpl = TempRoot() + "/tagmill-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    m_path = buf.data();
}

TempDir::~TempDir() { RemoveTree(m_path); }

std::wstring TempDir::wfile(const std::string &name) const { return Widen(file(name)); }

Bytes ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

std::wstring Widen(const std::string &s) {
    std::wstring out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        size_t n;
        if (c < 0x80) { cp = c; n = 1; }
        else if ((c >> 5) == 6) { cp = c & 0x1F; n = 2; }
        else if ((c >> 4) == 14) { cp = c & 0x0F; n = 3; }
        else { cp = c & 0x07; n = 4; }
        for (size_t k = 1; k < n && i + k < s.size(); ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(static_cast<wchar_t>(cp));
        i += n;
    }
    return out;
}

std::string Narrow(const std::wstring &w) {
    std::string out;
    for (wchar_t wc : w) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c < 0x80) out += static_cast<char>(c);
        else if (c < 0x800) { out += static_cast<char>(0xC0 | (c >> 6)); out += static_cast<char>(0x80 | (c & 0x3F)); }
        else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12)); out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18)); out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F)); out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string CorpusPath(const std::string &relative) { return std::string(TAGMILL_CORPUS_DIR) + "/" + relative; }

bool CorpusAvailable() { return FileExists(CorpusPath("MANIFEST.md")); }

std::vector<std::string> TempFilesWithPrefix(const std::string &directory, const std::string &prefix) {
    std::vector<std::string> names;
    if (DIR *d = opendir(directory.c_str())) {
        while (dirent *e = readdir(d))
            if (strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0) names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

Bytes Ascii(const std::string &text) { return Bytes(text.begin(), text.end()); }

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Syncsafe(uint32_t v) {
    return {static_cast<uint8_t>((v >> 21) & 0x7F), static_cast<uint8_t>((v >> 14) & 0x7F),
            static_cast<uint8_t>((v >> 7) & 0x7F), static_cast<uint8_t>(v & 0x7F)};
}

Bytes Be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
            static_cast<uint8_t>(v)};
}

Bytes Id3Header(uint8_t major, uint8_t revision, uint8_t flags, uint32_t size) {
    return Concat({Ascii("ID3"), Bytes{major, revision, flags}, Syncsafe(size)});
}

Bytes Frame23(const std::string &id, const Bytes &data, uint8_t flags1, uint8_t flags2) {
    return Concat({Ascii(id), Be32(static_cast<uint32_t>(data.size())), Bytes{flags1, flags2}, data});
}

Bytes Frame24(const std::string &id, const Bytes &data, uint8_t flags1, uint8_t flags2) {
    return Concat({Ascii(id), Syncsafe(static_cast<uint32_t>(data.size())), Bytes{flags1, flags2}, data});
}

Bytes Frame22(const std::string &id, const Bytes &data) {
    uint32_t n = static_cast<uint32_t>(data.size());
    return Concat({Ascii(id), Bytes{static_cast<uint8_t>(n >> 16), static_cast<uint8_t>(n >> 8), static_cast<uint8_t>(n)},
                   data});
}

Bytes FakeAudio(size_t frames) {
    Bytes out;
    for (size_t f = 0; f < frames; ++f) {
        Bytes frame(417, 0x55);
        frame[0] = 0xFF; frame[1] = 0xFB; frame[2] = 0x90; frame[3] = 0x00;
        out.insert(out.end(), frame.begin(), frame.end());
    }
    return out;
}

} // namespace testsupport
