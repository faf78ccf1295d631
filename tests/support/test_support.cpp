// Implementation of the shared test helpers.
#include "support/test_support.h"

#include <algorithm>
#include <codecvt>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale>
#include <random>
#include <stdexcept>
#include <type_traits>

namespace fs = std::filesystem;

namespace testsupport {

namespace {

// The variables that name the temporary directory, and setting or clearing one.
#ifdef _WIN32
const char *const kTempVariables[] = {"TMP", "TEMP"};
void SetVariable(const char *name, const char *value) { _putenv_s(name, value ? value : ""); }
#else
const char *const kTempVariables[] = {"TMPDIR"};
void SetVariable(const char *name, const char *value) { value ? setenv(name, value, 1) : unsetenv(name); }
#endif

} // namespace

// A fresh directory under the system's temporary directory ($TMPDIR or /tmp;
// TMP or TEMP on Windows), named with forward slashes on every system.
TempDir::TempDir() {
    std::error_code ec;
    const fs::path root = fs::temp_directory_path(ec);
    std::random_device random;
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate = root / ("tagmill-test-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec)) m_path = candidate.generic_u8string();
    }
    if (m_path.empty()) throw std::runtime_error("cannot create a scratch directory");
}

// Directories a test left without write permission are opened up first.
TempDir::~TempDir() {
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(m_path, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

std::wstring TempDir::wfile(const std::string &name) const { return Widen(file(name)); }

ScopedTmpDir::ScopedTmpDir(const std::string &dir) : m_had(std::getenv(kTempVariables[0]) != nullptr) {
    if (m_had) m_old = std::getenv(kTempVariables[0]);
    for (const char *name : kTempVariables) SetVariable(name, dir.c_str());
}

ScopedTmpDir::~ScopedTmpDir() {
    for (const char *name : kTempVariables) SetVariable(name, m_had ? m_old.c_str() : nullptr);
}

// One read of the whole size: some tests compare files of tens of megabytes.
Bytes ReadFile(const std::string &path) {
    std::ifstream in(fs::u8path(path), std::ios::binary | std::ios::ate);
    if (!in) throw std::runtime_error("cannot read " + path);
    Bytes bytes(static_cast<size_t>(in.tellg()));
    in.seekg(0).read(reinterpret_cast<char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot write " + path);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool MakeDirectory(const std::string &path) {
    std::error_code ec;
    if (!fs::create_directory(fs::u8path(path), ec)) return false;
    fs::permissions(fs::u8path(path), fs::perms::owner_all, ec); // private where there are permission bits
    return true;
}

bool FileExists(const std::string &path) {
    std::error_code ec;
    return fs::exists(fs::u8path(path), ec);
}

// The standard converter is deprecated but still the shortest independent
// UTF-8 codec at hand; tests only convert well-formed text. Wide strings are
// UTF-16 where wchar_t has 16 bits (Windows), code points elsewhere.
using Utf8 = std::wstring_convert<std::conditional_t<sizeof(wchar_t) == 2, std::codecvt_utf8_utf16<wchar_t>,
                                                     std::codecvt_utf8<wchar_t>>>;

std::wstring Widen(const std::string &utf8) { return Utf8().from_bytes(utf8); }

std::string Narrow(const std::wstring &wide) { return Utf8().to_bytes(wide); }

std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr) {
    std::vector<std::wstring> values;
    long result = tag.GetString(propertyId, values);
    if (hr) *hr = result;
    return values;
}

Bytes CommitFile(const Bytes &content, const std::function<void(CTagmill &)> &puts, long mode) {
    TempDir dir;
    WriteFile(dir.file("content"), content);
    CTagmill tag;
    EXPECT_EQ(tagmill::S_OK, tag.Open(dir.wfile("content"), mode));
    puts(tag);
    EXPECT_EQ(tagmill::S_OK, tag.Close());
    return ReadFile(dir.file("content"));
}

bool CorpusAvailable() { return FileExists(CorpusPath("MANIFEST.md")); }

std::vector<std::string> CorpusFiles() {
    std::vector<std::string> files;
    std::ifstream sums(CorpusPath("SHA256SUMS"));
    for (std::string sum, name; sums >> sum >> name;) files.push_back(name);
    return files;
}

std::vector<std::string> TempFilesWithPrefix(const std::string &directory, const std::string &prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &entry : fs::directory_iterator(fs::u8path(directory), ec)) {
        const std::string name = entry.path().filename().u8string();
        if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Syncsafe(uint32_t v) {
    return {uint8_t(v >> 21 & 0x7F), uint8_t(v >> 14 & 0x7F), uint8_t(v >> 7 & 0x7F), uint8_t(v & 0x7F)};
}

Bytes Unsynchronise(const Bytes &in) {
    Bytes out;
    for (size_t i = 0; i < in.size(); ++i) {
        out.push_back(in[i]);
        if (in[i] == 0xFF && (i + 1 == in.size() || in[i + 1] == 0 || in[i + 1] >= 0xE0)) out.push_back(0);
    }
    return out;
}

Bytes Frame22(const std::string &id, const Bytes &data) {
    const Bytes size = Be32(static_cast<uint32_t>(data.size()));
    return Concat({Ascii(id), Bytes(size.begin() + 1, size.end()), data});
}

Bytes TagV2(int major, const FrameList &frames, size_t padding) {
    Bytes body;
    for (const auto &[id, data] : frames)
        body = Concat({body, major == 2 ? Frame22(id, data) : major == 3 ? Frame23(id, data) : Frame24(id, data)});
    body.resize(body.size() + padding, 0);
    return Id3Tag(static_cast<uint8_t>(major), body);
}

Bytes TagV1(const std::string &title, const std::string &artist, const std::string &album, uint8_t genre, int track) {
    Bytes tag = Concat({Ascii("TAG"), Bytes(125, 0)});
    const std::pair<size_t, std::string> fields[] = {{3, title}, {33, artist}, {63, album}, {93, "    "}};
    for (const auto &[offset, text] : fields)
        std::copy_n(text.begin(), std::min<size_t>(text.size(), 30), tag.begin() + offset);
    tag[125] = track >= 0 ? 0 : ' ';
    tag[126] = track >= 0 ? static_cast<uint8_t>(track) : 0;
    tag[127] = genre;
    return tag;
}

Bytes Utf16LeBytes(const std::wstring &text) {
    Bytes out;
    for (wchar_t wc : text) {
        uint32_t c = static_cast<uint32_t>(wc);
        // Above U+FFFF a surrogate pair; the offset leaves the low ten bits alone.
        for (uint32_t unit : c >= 0x10000 ? std::vector<uint32_t>{0xD800 | (c - 0x10000) >> 10, 0xDC00 | (c & 0x3FF)}
                                          : std::vector<uint32_t>{c})
            out.insert(out.end(), {uint8_t(unit), uint8_t(unit >> 8)});
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
    const int64_t size = form_size >= 0 ? form_size : int64_t(body.size());
    return Concat({Ascii("FORM"), Be32(static_cast<uint32_t>(size)), body});
}

Bytes FakeAudio(size_t frames) {
    Bytes frame = Concat({Bytes{0xFF, 0xFB, 0x90, 0x00}, Bytes(413, 0x55)}), out;
    for (size_t f = 0; f < frames; ++f) out.insert(out.end(), frame.begin(), frame.end());
    return out;
}

} // namespace testsupport
