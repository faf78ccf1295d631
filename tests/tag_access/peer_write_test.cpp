// Tags written by the library, read by other tag readers: mutagen (through a
// small script) and TagLib (linked in when the system has it). Each test skips
// with a message when its reader is missing.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "support/commit_support.h"
#include "tagmill/tagmill.h"

#ifdef TAGMILL_HAVE_TAGLIB
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#endif

using namespace testsupport;
using namespace tagmill;

namespace {

struct Written {
    long id;
    const char *frame;
    std::wstring value;
};

const std::vector<Written> &Values() {
    static const std::vector<Written> values = {
        {4615, "TIT2", L"T\u00eftle \u03a9\u03bc\u03ad\u03b3\u03b1"},
        {4624, "TPE1", L"\u0410\u0440\u0442\u0438\u0441\u0442"},
        {4620, "TALB", L"Album \u266b \u4e2d"},
        {4616, "TCON", L"Synthpop"},
        {4357, "TRCK", L"3/12"},
        {288, "TPOS", L"1/2"},
        {4627, "TCOM", L"Compositeur \u00e7"},
    };
    return values;
}

// The files to check: an untagged file that gets a new 2.3 tag, and tags of
// versions 2.2 and 2.4 that get rewritten.
std::vector<std::string> WriteFiles(const TempDir &dir) {
    std::vector<std::string> paths;
    const Bytes audio = FakeAudio(4);
    const std::vector<Bytes> originals = {
        audio,
        Concat({Id3Header(2, 0, 0, 32), Frame22("TT2", NarrowPayload("old")), Bytes(21, 0), audio}),
        Concat({Id3Header(4, 0, 0, 32), Frame24("TIT2", NarrowPayload("old")), Bytes(17, 0), audio}),
    };
    for (size_t i = 0; i < originals.size(); ++i) {
        const std::string path = dir.file("peer" + std::to_string(i) + ".mp3");
        WriteFile(path, originals[i]);
        CTagmill t;
        EXPECT_EQ(S_OK, t.Open(Widen(path), 2));
        for (const Written &w : Values()) EXPECT_EQ(S_OK, t.PutString(w.id, {w.value}));
        EXPECT_EQ(S_OK, t.Close());
        paths.push_back(path);
    }
    return paths;
}

std::string RunCommand(const std::string &command, int *status) {
    std::string out;
    FILE *p = popen(command.c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = pclose(p);
    return out;
}

// The first Python that has mutagen, or empty.
std::string PythonWithMutagen() {
    for (const char *python : {"/usr/bin/python3", "python3"}) {
        int status = 0;
        RunCommand(std::string(python) + " -c 'import mutagen.id3' >/dev/null 2>&1", &status);
        if (status == 0) return python;
    }
    return std::string();
}

TEST(PeerRead, MutagenReadsWhatWasWritten) {
    const std::string python = PythonWithMutagen();
    if (python.empty()) GTEST_SKIP() << "python3 with mutagen is not installed";
    TempDir dir;
    for (const std::string &path : WriteFiles(dir)) {
        std::string command = "PYTHONIOENCODING=utf-8 " + python + " " + TAGMILL_SOURCE_DIR +
                              "/tests/tag_access/peers/read_id3_frames.py '" + path + "'";
        for (const Written &w : Values()) command += std::string(" ") + w.frame;
        int status = 0;
        const std::string out = RunCommand(command + " 2>&1", &status);
        ASSERT_EQ(0, status) << out;
        std::string expected;
        for (const Written &w : Values()) expected += std::string(w.frame) + "=" + Narrow(w.value) + "\n";
        EXPECT_EQ(expected, out) << path;
    }
}

TEST(PeerRead, TagLibReadsWhatWasWritten) {
#ifndef TAGMILL_HAVE_TAGLIB
    GTEST_SKIP() << "TagLib was not found by pkg-config when the tests were configured";
#else
    TempDir dir;
    for (const std::string &path : WriteFiles(dir)) {
        TagLib::MPEG::File file(path.c_str());
        ASSERT_TRUE(file.isValid()) << path;
        TagLib::ID3v2::Tag *tag = file.ID3v2Tag();
        ASSERT_NE(nullptr, tag) << path;
        const TagLib::ID3v2::FrameListMap &frames = tag->frameListMap();
        for (const Written &w : Values()) {
            const auto it = frames.find(w.frame);
            ASSERT_TRUE(it != frames.end() && !it->second.isEmpty()) << path << " " << w.frame;
            EXPECT_EQ(Narrow(w.value), it->second.front()->toString().to8Bit(true)) << path << " " << w.frame;
        }
    }
#endif
}

} // namespace
