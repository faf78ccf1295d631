// Whatever road a commit takes (rewriting the file, patching the tag where it
// stands, rebuilding a memory image), the bytes it leaves must be the ones the
// plain rewrite always gave. tests/data/commit_golden.txt holds a digest of
// every result, made once by the plain rewrite: each corpus file and each
// generated layout, opened in each way, given each kind of put, committed.
// TAGMILL_WRITE_GOLDEN=1 rewrites that file instead of checking it.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/test_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

const std::string kGolden = std::string(TAGMILL_SOURCE_DIR) + "/tests/data/commit_golden.txt";

std::string Digest(const Bytes &bytes) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) h = (h ^ b) * 0x100000001b3ull;
    char text[40];
    std::snprintf(text, sizeof text, "%zu:%016llx", bytes.size(), static_cast<unsigned long long>(h));
    return text;
}

Bytes Frames(int major) {
    const auto frame = major == 4 ? Frame24 : Frame23;
    return Concat({frame("TIT2", Latin1Text("Old \xFF\xE0 title", true), 0, 0),
                   frame("TPE1", Utf16Text(L"Artist \u00e9", true), 0, 0), frame("TBPM", Latin1Text("120", true), 0, 0)});
}

Bytes Footer(uint32_t size) { return Concat({Ascii("3DI"), Bytes{4, 0, 0x10}, Syncsafe(size)}); }

std::map<std::string, Bytes> GeneratedLayouts() {
    const Bytes audio = FakeAudio(6), v1 = TagV1("Old title", "Old artist", "", 17, 4), f3 = Frames(3), f4 = Frames(4);
    const Bytes unsync = Unsynchronise(Concat({f3, Bytes(40, 0)}));
    const Bytes ext = Concat({Be32(6), Bytes{0, 0}, Be32(40)});
    const uint32_t footed = static_cast<uint32_t>(f4.size());
    const Bytes aiffTag = Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(f3.size() + 7)), f3, Bytes(7, 0)});
    return {{"plain", Concat({Id3Header(3, 0, 0, static_cast<uint32_t>(f3.size() + 64)), f3, Bytes(64, 0), audio, v1})},
            {"v22", Concat({TagV2(2, {{"TT2", Latin1Text("Old", true)}}, 30), audio})},
            {"unsync", Concat({Id3Header(3, 0, 0x80, static_cast<uint32_t>(unsync.size())), unsync, audio, v1})},
            {"exthdr", Concat({Id3Header(3, 0, 0x40, static_cast<uint32_t>(f3.size() + 50)), ext, f3, Bytes(40, 0), audio})},
            {"footer-head", Concat({Id3Header(4, 0, 0x10, footed), f4, Footer(footed), audio, v1})},
            {"footer-end", Concat({audio, Id3Header(4, 0, 0x10, footed), f4, Footer(footed)})},
            {"aiff.aif", Form("AIFF", {{"COMM", AiffComm()}, {"SSND", Bytes(301, 7)}, {"ID3 ", aiffTag}})},
            {"aifc.aifc", Form("AIFC", {{"FVER", Be32(0xA2805140)}, {"COMM", AiffComm()}, {"SSND", Bytes(64, 1)}})},
            {"v1-only", Concat({audio, v1})},
            {"no-tag", audio}};
}

std::shared_ptr<CTagmill::CUserDefinedString> UserString(const std::wstring &value) {
    auto s = std::make_shared<CTagmill::CUserDefinedString>();
    s->SetData(value);
    return s;
}

// One put (or a few) of each kind; "long-title" and "picture" outgrow most tags.
const std::vector<std::pair<std::string, std::function<long(CTagmill &)>>> &Puts() {
    static const Bytes blob(3000, 0x5A);
    static const std::vector<std::pair<std::string, std::function<long(CTagmill &)>>> puts = {
        {"title", [](CTagmill &t) { return t.PutString(4615, {L"New title \u4e2d"}); }},
        {"strings", [](CTagmill &t) { return t.PutString(4624, {L"A"}) | t.PutString(4620, {L"B"}) |
                                             t.PutString(4616, {L"(17)"}) | t.PutString(4357, {L"3/12"}) |
                                             t.PutString(4646, {L"u1", L"u2"}); }},
        {"long-title", [](CTagmill &t) { return t.PutString(4615, {std::wstring(700, L'x')}); }},
        {"date", [](CTagmill &t) { double d = 43466.0; return t.PutDate(5120, d); }},
        {"picture", [](CTagmill &t) { auto p = std::make_shared<CTagmill::CPicture>();
                                      p->SetAll(blob.data(), 1500, L"image/png"); return t.PutBinary(4640, {p}); }},
        {"music-id", [](CTagmill &t) { auto m = std::make_shared<CTagmill::CMusicId>();
                                       m->SetData(blob.data(), 64); return t.PutMusicId({m}); }},
        {"object", [](CTagmill &t) { auto g = std::make_shared<CTagmill::CGeob>();
                                     g->SetData(blob.data(), 20); return t.PutGeob(5894, {g}); }},
        {"user-string", [](CTagmill &t) { return t.PutUserDefinedString(4717, {UserString(L"ext")}); }},
        {"comment", [](CTagmill &t) { return t.PutUserDefinedString(9233, {UserString(L" 00000000")}); }},
        {"removals", [](CTagmill &t) { return t.PutString(4615, {}) | t.PutString(4624, {}) |
                                              t.PutBinary(4640, {}) | t.PutUserDefinedString(4717, {}); }},
    };
    return puts;
}

bool IsAiff(const std::string &name) {
    for (const char *ext : {".aif", ".aiff", ".aifc"})
        if (name.size() > strlen(ext) && name.compare(name.size() - strlen(ext), std::string::npos, ext) == 0) return true;
    return false;
}

// The result codes and the digest of the committed bytes, in one line.
std::string Commit(const Bytes &original, const std::string &name, const std::string &way,
                   const std::function<long(CTagmill &)> &put) {
    CTagmill tag;
    std::ostringstream out;
    if (way == "memory") {
        Bytes copy = original;
        out << tag.OpenFromMemory(copy.data(), static_cast<unsigned>(copy.size()), 1) << ',' << put(tag) << ','
            << tag.UpdateOnMemory();
        unsigned long size = 0;
        unsigned char *image = nullptr;
        long hr = tag.GetId3TagFrame(nullptr, &size);
        if (hr == S_OK && (image = static_cast<unsigned char *>(malloc(size)))) hr = tag.GetId3TagFrame(&image, &size);
        out << ',' << hr << ' ' << Digest(image ? Bytes(image, image + size) : Bytes()) << ',' << tag.Close();
        free(image);
        return out.str();
    }
    TempDir dir;
    const std::string path = dir.file("content");
    WriteFile(path, original);
    long hr = IsAiff(name) ? tag.OpenForAiff(Widen(path), way == "mode3" ? 3 : 2)
                           : tag.Open2(Widen(path), way == "mode3" ? 3 : 2, way != "no-v1");
    out << hr << ',' << put(tag) << ',' << tag.Close() << ' ' << Digest(ReadFile(path));
    return out.str();
}

std::map<std::string, Bytes> AllContents() {
    std::map<std::string, Bytes> contents = GeneratedLayouts();
    if (CorpusAvailable())
        for (const std::string &name : CorpusFiles()) contents[name] = ReadFile(CorpusPath(name));
    return contents;
}

TEST(CommitSameness, EveryContentWayAndPutGivesTheRecordedBytes) {
    if (!CorpusAvailable()) GTEST_SKIP() << "the corpus (../shared/corpus) is not there";
    std::map<std::string, std::string> results;
    for (const auto &content : AllContents())
        for (const char *way : {"mode2", "mode3", "no-v1", "memory"})
            for (const auto &put : Puts())
                if (!(IsAiff(content.first) && (std::string(way) == "memory" || std::string(way) == "no-v1")))
                    results[content.first + "|" + way + "|" + put.first] = Commit(content.second, content.first, way, put.second);
    if (const char *w = std::getenv("TAGMILL_WRITE_GOLDEN"); w && std::string(w) == "1") {
        std::ofstream out(kGolden);
        for (const auto &r : results) out << r.first << ' ' << r.second << '\n';
        GTEST_SKIP() << "wrote " << kGolden;
    }
    std::ifstream in(kGolden);
    ASSERT_TRUE(in) << kGolden;
    std::map<std::string, std::string> golden;
    for (std::string key, value; in >> key && std::getline(in, value);) golden[key] = value.substr(1);
    EXPECT_EQ(golden.size(), results.size());
    for (const auto &r : results) EXPECT_EQ(golden[r.first], r.second) << r.first;
}

} // namespace
