// The object's life: the result codes of the open members, Close, and
// reopening. (The new empty tag of open mode 3 is checked with the raw tag
// copy; creating a missing file, with the round trips.)
#ifndef _WIN32
#include <unistd.h>
#endif

#include "support/test_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {


Bytes SampleFile() { return Concat({TagV2(3, {{"TIT2", Latin1Text("Song")}}), FakeAudio(2), TagV1("Old")}); }

class OpenResults : public ::testing::Test {
protected:
    TempDir dir;
    const std::wstring existing = (WriteFile(dir.file("x.mp3"), SampleFile()), dir.wfile("x.mp3"));
};

// Windows tells a missing directory ("path not found") from a missing file.
#ifdef _WIN32
constexpr long kCreateInMissingDirectory = E_OPEN_FAILED;
#else
constexpr long kCreateInMissingDirectory = E_FILE_NOT_FOUND;
#endif

TEST_F(OpenResults, ResultCodesOfTheOpenMembers) {
    MakeDirectory(dir.file("sub"));
    struct Case { std::wstring path; long mode; long hr; };
    std::vector<Case> cases = {
        {existing, 0, E_INVALIDARG},              {existing, 4, E_INVALIDARG},
        {dir.wfile("none"), 2, E_FILE_NOT_FOUND}, {dir.wfile("sub"), 3, E_FILE_NOT_FOUND},
        {dir.wfile("no/such/dir"), 3, kCreateInMissingDirectory}, // nowhere to create it
        {existing, 1, S_OK}, {existing, 2, S_OK}, {existing, 3, S_OK},
    };
#ifndef _WIN32 // symbolic links need privileges there
    ASSERT_EQ(symlink(dir.file("gone").c_str(), dir.file("dangling").c_str()), 0);
    cases.push_back({dir.wfile("dangling"), 3, E_OPEN_FAILED}); // no file, yet the name is taken
#endif
    for (const Case &c : cases) {
        CTagmill tag;
        EXPECT_EQ(tag.Open(c.path, c.mode), c.hr) << Narrow(c.path) << " mode " << c.mode;
        EXPECT_EQ(tag.PutString(4615, {L"x"}) != E_UNEXPECTED, c.hr == S_OK);
    }
    // Destroyed without Close after a put, the objects never committed.
    EXPECT_EQ(ReadFile(dir.file("x.mp3")), SampleFile());
    EXPECT_FALSE(FileExists(dir.file("none")));
}

// A second open is refused and the first content stays open; after Close
// (which writes nothing when nothing was put) the object is Closed, refused
// memory opens leave it so, and it can open a content again.
TEST_F(OpenResults, SecondOpenFailsCloseWritesNothingAndReopens) {
    CTagmill tag;
    EXPECT_EQ(tag.Close(), S_OK); // nothing open
    ASSERT_EQ(tag.Open(existing, 1), S_OK);
    Bytes other = TagV2(3, {{"TIT2", Latin1Text("Other")}});
    const unsigned size = static_cast<unsigned>(other.size());
    EXPECT_EQ(tag.Open(existing, 1), E_OPEN_FAILED);
    EXPECT_EQ(tag.OpenFromMemory(other.data(), size, 1), E_OPEN_FAILED);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Song"});
    EXPECT_EQ(tag.Close(), S_OK);
    EXPECT_EQ(tag.PutString(4615, {L"x"}), E_UNEXPECTED);
    EXPECT_EQ(ReadFile(dir.file("x.mp3")), SampleFile());
    EXPECT_EQ(tag.OpenFromMemory(other.data(), size, 2), E_INVALIDARG);
    EXPECT_EQ(tag.OpenFromMemory(nullptr, size, 1), E_POINTER);
    EXPECT_EQ(tag.OpenFromMemory(other.data(), 0, 1), E_FAIL);
    ASSERT_EQ(OpenBytes(tag, other), S_OK);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Other"});
}

} // namespace
