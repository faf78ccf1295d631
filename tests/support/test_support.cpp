// Implementation of the shared test helpers.
#include "support/test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>

namespace testsupport {

namespace {
#ifdef _WIN32
// Windows: the system's temporary directory (TMP, TEMP), scratch directories
// named by a random number, and the standard library's tree removal (no
// permission bits to restore first).
const char *const kTempVariables[] = {"TMP", "TEMP"};

std::string TempRoot() { return std::filesystem::temp_directory_path().string(); }

void RemoveTree(const std::string &path) {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

std::string MakeTempDir(const std::string &stem) {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = stem + std::to_string(random());
        if (CreateDirectoryA(path.c_str(), nullptr)) return path;
    }
    throw std::runtime_error("cannot create a directory under " + stem);
}

void SetVariable(const char *name, const char *value) { _putenv_s(name, value ? value : ""); }
#else
const char *const kTempVariables[] = {"TMPDIR"};

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

std::string MakeTempDir(const std::string &stem) {
    std::string tmpl = stem + "XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    return buf.data();
}

void SetVariable(const char *name, const char *value) {
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
}
#endif
} // namespace

TempDir::TempDir() {
    std::string root = TempRoot();
    while (root.size() > 1 && (root.back() == '/' || root.back() == '\\')) root.pop_back();
    m_path = MakeTempDir(root + "/tagmill-test-");
}

TempDir::~TempDir() { RemoveTree(m_path); }

std::wstring TempDir::wfile(const std::string &name) const { return Widen(file(name)); }

// One read of the whole size: some tests compare files of tens of megabytes.
ScopedTmpDir::ScopedTmpDir(const std::string &dir) {
    const char *old = std::getenv(kTempVariables[0]);
    m_had = old != nullptr;
    if (old) m_old = old;
    for (const char *name : kTempVariables) SetVariable(name, dir.c_str());
}

ScopedTmpDir::~ScopedTmpDir() {
    for (const char *name : kTempVariables) SetVariable(name, m_had ? m_old.c_str() : nullptr);
}

Bytes ReadFile(const std::string &path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot read " + path);
    Bytes bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool MakeDirectory(const std::string &path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
#else
    return mkdir(path.c_str(), 0700) == 0;
#endif
}

bool FileExists(const std::string &path) {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::u8path(path), ignored);
}

// Wide strings are UTF-16 where wchar_t has 16 bits (Windows).
void AppendWide(std::wstring &out, uint32_t cp) {
    if (sizeof(wchar_t) == 2 && cp >= 0x10000) {
        out.push_back(static_cast<wchar_t>(0xD800 | ((cp - 0x10000) >> 10)));
        out.push_back(static_cast<wchar_t>(0xDC00 | (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<wchar_t>(cp));
    }
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
        AppendWide(out, cp);
        i += n;
    }
    return out;
}

std::string Narrow(const std::wstring &w) {
    std::string out;
    for (size_t i = 0; i < w.size(); ++i) {
        uint32_t c = static_cast<uint32_t>(w[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c < 0xDC00 && i + 1 < w.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint32_t>(w[++i]) - 0xDC00);
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

long OpenBytes(CTagmill &tag, Bytes bytes) {
    return tag.OpenFromMemory(bytes.data(), static_cast<unsigned int>(bytes.size()), 1);
}

std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr) {
    std::vector<std::wstring> values;
    long result = tag.GetString(propertyId, values);
    if (hr) *hr = result;
    return values;
}

std::string CorpusPath(const std::string &relative) { return std::string(TAGMILL_CORPUS_DIR) + "/" + relative; }

bool CorpusAvailable() { return FileExists(CorpusPath("MANIFEST.md")); }

std::vector<std::string> TempFilesWithPrefix(const std::string &directory, const std::string &prefix) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(directory, error)) {
        std::string name = entry.path().filename().u8string();
        if (name.compare(0, prefix.size(), prefix) == 0) names.push_back(name);
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

Bytes TagV2(int major, const FrameList &frames, size_t padding) {
    Bytes body;
    for (const auto &[id, data] : frames)
        body = Concat({body, major == 2 ? Frame22(id, data) : major == 3 ? Frame23(id, data) : Frame24(id, data)});
    body.resize(body.size() + padding, 0);
    return Concat({Id3Header(static_cast<uint8_t>(major), 0, 0, static_cast<uint32_t>(body.size())), body});
}

Bytes TagV1(const std::string &title, const std::string &artist, const std::string &album, uint8_t genre,
            int track) {
    Bytes tag = Concat({Ascii("TAG"), Bytes(125, 0)});
    auto put = [&](size_t offset, const std::string &text) {
        for (size_t i = 0; i < text.size() && i < 30; ++i) tag[offset + i] = static_cast<uint8_t>(text[i]);
    };
    put(3, title);
    put(33, artist);
    put(63, album);
    put(93, "    ");
    tag[125] = track >= 0 ? 0 : ' ';
    if (track >= 0) tag[126] = static_cast<uint8_t>(track);
    tag[127] = genre;
    return tag;
}

Bytes Latin1Text(const std::string &text, bool terminated) {
    return Concat({Bytes{0x00}, Ascii(text), terminated ? Bytes{0x00} : Bytes{}});
}

Bytes Utf16Text(const std::wstring &text, bool terminated) {
    return Concat({Bytes{0x01, 0xFF, 0xFE}, Utf16LeBytes(text), terminated ? Bytes{0x00, 0x00} : Bytes{}});
}

Bytes Utf16LeBytes(const std::wstring &text) {
    Bytes out;
    auto unit = [&out](uint32_t u) {
        out.push_back(static_cast<uint8_t>(u & 0xFF));
        out.push_back(static_cast<uint8_t>(u >> 8));
    };
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        if (c >= 0x10000) { // a surrogate pair; the offset leaves the low ten bits alone
            unit(0xD800 | ((c - 0x10000) >> 10));
            c = 0xDC00 | (c & 0x3FF);
        }
        unit(c);
    }
    return out;
}

Bytes Latin1(const std::wstring &text) {
    Bytes out;
    for (wchar_t c : text) out.push_back(static_cast<uint32_t>(c) <= 0xFF ? static_cast<uint8_t>(c) : '?');
    return out;
}

Bytes Form(const std::string &type, const std::vector<Chunk> &chunks, int64_t form_size) {
    Bytes body = Ascii(type);
    for (const Chunk &c : chunks) {
        body = Concat({body, Ascii(c.id), Be32(static_cast<uint32_t>(c.body.size())), c.body});
        if (c.pad && c.body.size() % 2) body.push_back(0);
    }
    uint32_t size = form_size >= 0 ? static_cast<uint32_t>(form_size) : static_cast<uint32_t>(body.size());
    return Concat({Ascii("FORM"), Be32(size), body});
}

// The sample rate is an 80-bit extended float: 0x400E AC44... is 44100.
Bytes AiffComm() { return Bytes{0, 1, 0, 0, 0, 0x10, 0, 16, 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}; }

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
