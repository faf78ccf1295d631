// The object's life: the result codes of the open members, the new empty tag
// of open mode 3, Close, reopening, and copies that never share a content.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "support/read_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

using Strings = std::vector<std::wstring>;

// "ID3" 03 00, no flags, size 4086 (syncsafe 00 00 1F 76), 4086 zero bytes.
Bytes NewEmptyTagFile() { return Concat({Id3Header(3, 0, 0, 4086), Bytes(4086, 0)}); }

Bytes SampleFile() { return Concat({TagV2(3, {{"TIT2", Latin1Text("Song")}}), FakeAudio(2), TagV1("Old")}); }

class OpenResults : public ::testing::Test {
protected:
    TempDir dir;
    std::wstring Existing() {
        WriteFile(dir.file("x.mp3"), SampleFile());
        return dir.wfile("x.mp3");
    }
};

TEST_F(OpenResults, ResultCodesOfTheOpenMembers) {
    const std::wstring existing = Existing();
    mkdir(dir.file("sub").c_str(), 0700);
    ASSERT_EQ(symlink(dir.file("gone").c_str(), dir.file("dangling").c_str()), 0);
    struct Case { std::wstring path; long mode; long hr; } cases[] = {
        {existing, 0, E_INVALIDARG},         {existing, 4, E_INVALIDARG},
        {existing, -1, E_INVALIDARG},        {dir.wfile("none"), 1, E_FILE_NOT_FOUND},
        {dir.wfile("none"), 2, E_FILE_NOT_FOUND}, {dir.wfile("sub"), 1, E_FILE_NOT_FOUND},
        {dir.wfile("sub"), 2, E_FILE_NOT_FOUND},  {dir.wfile("sub"), 3, E_FILE_NOT_FOUND},
        {dir.wfile("no/such/dir"), 3, E_FILE_NOT_FOUND}, // nowhere to create it
        {dir.wfile("dangling"), 3, E_OPEN_FAILED},        // no file, yet the name is taken
        {existing, 1, S_OK}, {existing, 2, S_OK}, {existing, 3, S_OK},
    };
    for (const Case &c : cases) {
        CTagmill tag;
        EXPECT_EQ(tag.Open(c.path, c.mode), c.hr) << Narrow(c.path) << " mode " << c.mode;
        Strings values;
        EXPECT_EQ(tag.GetString(4615, values) != E_UNEXPECTED, c.hr == S_OK);
    }
    EXPECT_EQ(ReadFile(dir.file("x.mp3")), SampleFile()); // no mode changed anything without a put
    EXPECT_FALSE(FileExists(dir.file("none")));
}

TEST_F(OpenResults, SecondOpenFailsAndKeepsTheFirstContent) {
    const std::wstring existing = Existing();
    CTagmill tag;
    ASSERT_EQ(tag.Open(existing, 1), S_OK);
    Bytes other = TagV2(3, {{"TIT2", Latin1Text("Other")}});
    EXPECT_EQ(tag.Open(existing, 1), E_OPEN_FAILED);
    EXPECT_EQ(tag.OpenForAiff(existing, 1), E_OPEN_FAILED);
    EXPECT_EQ(tag.OpenFromMemory(other.data(), static_cast<unsigned>(other.size()), 1), E_OPEN_FAILED);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Song"});
}

TEST_F(OpenResults, MemoryOpenResults) {
    CTagmill tag;
    Bytes bytes = SampleFile();
    EXPECT_EQ(tag.OpenFromMemory(bytes.data(), static_cast<unsigned>(bytes.size()), 2), E_INVALIDARG);
    EXPECT_EQ(tag.OpenFromMemory(bytes.data(), static_cast<unsigned>(bytes.size()), 0), E_INVALIDARG);
    EXPECT_EQ(tag.OpenFromMemory(nullptr, 10, 1), E_POINTER);
    EXPECT_EQ(tag.OpenFromMemory(bytes.data(), 0, 1), E_FAIL);
    ASSERT_EQ(tag.OpenFromMemory(nullptr, 0, 3), S_OK); // a new image: the pointer is not used
    EXPECT_EQ(tag.TagVersion(), 1);
    long hr = 0;
    Values(tag, 4615, &hr);
    EXPECT_EQ(hr, E_PROPERTY_ABSENT);
}

TEST_F(OpenResults, ModeThreeGivesMissingAndEmptyFilesTheNewEmptyTag) {
    for (bool existsEmpty : {false, true}) {
        const std::string path = dir.file(existsEmpty ? "empty.mp3" : "new.mp3");
        if (existsEmpty) WriteFile(path, {});
        CTagmill tag;
        ASSERT_EQ(tag.Open(Widen(path), 3), S_OK) << path;
        EXPECT_EQ(tag.TagVersion(), 1);
        EXPECT_EQ(tag.Close(), S_OK);
        EXPECT_EQ(ReadFile(path), NewEmptyTagFile()) << path; // and no ID3v1 tag
    }
}

TEST_F(OpenResults, ModeThreeOnAnExistingFileNeverTouchesItsId3v1Tag) {
    const std::wstring existing = Existing();
    CTagmill tag;
    ASSERT_EQ(tag.Open(existing, 3), S_OK);
    ASSERT_EQ(tag.PutString(4615, {L"New"}), S_OK);
    ASSERT_EQ(tag.Close(), S_OK);
    const Bytes after = ReadFile(dir.file("x.mp3"));
    const Bytes v1 = TagV1("Old");
    EXPECT_TRUE(std::equal(v1.begin(), v1.end(), after.end() - 128));
    ASSERT_EQ(tag.Open(existing, 1), S_OK);
    EXPECT_EQ(Values(tag, 4615), Strings{L"New"});
}

// An AIFF form with a COMM chunk and no "ID3 " chunk.
Bytes AiffWithoutTag() {
    Bytes comm = Concat({Ascii("COMM"), Be32(18), Bytes(18, 0)});
    return Concat({Ascii("FORM"), Be32(static_cast<uint32_t>(4 + comm.size())), Ascii("AIFF"), comm});
}

TEST_F(OpenResults, AiffWithoutTagChunkCannotBeReadOnly) {
    const std::string path = dir.file("a.aiff");
    WriteFile(path, AiffWithoutTag());
    CTagmill tag;
    EXPECT_EQ(tag.OpenForAiff(Widen(path), 1), E_FAIL);
    EXPECT_EQ(ReadFile(path), AiffWithoutTag());
    ASSERT_EQ(tag.OpenForAiff(Widen(path), 2), S_OK); // the engine adds an empty tag chunk
    EXPECT_EQ(tag.TagVersion(), 1);
}

TEST_F(OpenResults, CloseCommitsOnlyAfterAPutAndAllowsReopening) {
    const std::wstring existing = Existing();
    CTagmill tag;
    EXPECT_EQ(tag.Close(), S_OK); // nothing open
    ASSERT_EQ(tag.Open(existing, 1), S_OK);
    EXPECT_EQ(tag.Close(), S_OK);
    EXPECT_EQ(tag.PutString(4615, {L"x"}), E_UNEXPECTED);
    EXPECT_EQ(ReadFile(dir.file("x.mp3")), SampleFile());

    // A put without Close: destruction drops it.
    {
        CTagmill writer;
        ASSERT_EQ(writer.Open(existing, 2), S_OK);
        ASSERT_EQ(writer.PutString(4615, {L"Dropped"}), S_OK);
    }
    ASSERT_EQ(tag.Open(existing, 1), S_OK);
    EXPECT_EQ(Values(tag, 4615), Strings{L"Song"});
}

TEST(Copying, CopiesOfAnOpenObjectAreClosedAndNeverShareItsContent) {
    Bytes bytes = SampleFile();
    auto original = std::make_unique<CTagmill>();
    ASSERT_EQ(OpenBytes(*original, bytes), S_OK);
    {
        CTagmill copy(*original);
        long hr = 0;
        Values(copy, 4615, &hr);
        EXPECT_EQ(hr, E_UNEXPECTED);
        EXPECT_EQ(copy.TagVersion(), TAV_ID3_VNONE);
        EXPECT_EQ(copy.Close(), S_OK);
        ASSERT_EQ(OpenBytes(copy, TagV2(3, {{"TIT2", Latin1Text("Mine")}})), S_OK);

        CTagmill assigned;
        ASSERT_EQ(OpenBytes(assigned, bytes), S_OK);
        assigned = copy; // releases its own content, gets a closed object
        Values(assigned, 4615, &hr);
        EXPECT_EQ(hr, E_UNEXPECTED);
        CTagmill &alias = assigned;
        assigned = alias;
        EXPECT_EQ(Values(copy, 4615), Strings{L"Mine"});
    }
    EXPECT_EQ(Values(*original, 4615), Strings{L"Song"});
    CTagmill closed;
    CTagmill fromClosed(closed);
    fromClosed = closed;
    EXPECT_EQ(fromClosed.TagVersion(), closed.TagVersion());
    original.reset(); // each object released its own context exactly once
}

} // namespace
