// Contents that once made the library misbehave, kept as small crafted files
// in tests/data/regressions. Each test names what went wrong.
#include "support/test_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

Bytes Regression(const std::string &name) {
    return ReadFile(std::string(TAGMILL_SOURCE_DIR) + "/tests/data/regressions/" + name);
}

// A header that claims a 184 MiB tag in a 60-byte content: the commit kept
// the claimed length as "the old tag's length" and padded the new tag up to
// it, writing and then loading back 184 MiB. The new tag now grows from the
// bytes that are really there.
TEST(Regressions, TagSizeBeyondContentDoesNotBecomePadding) {
    const Bytes content = Regression("tag_size_beyond_content.id3");
    const unsigned long kSmallTag = 2048; // header, frames and 1 KiB of padding

    CTagmill memory;
    ASSERT_EQ(OpenBytes(memory, content), S_OK);
    ASSERT_EQ(memory.PutString(4615, {L"new title"}), S_OK);
    ASSERT_EQ(memory.UpdateOnMemory(), S_OK);
    unsigned long size = 0;
    ASSERT_EQ(memory.GetId3TagFrame(nullptr, &size), S_OK);
    EXPECT_LE(size, kSmallTag);

    TempDir dir;
    WriteFile(dir.file("a.mp3"), content);
    CTagmill file;
    ASSERT_EQ(file.Open(dir.wfile("a.mp3"), 2), S_OK);
    ASSERT_EQ(file.PutString(4615, {L"new title"}), S_OK);
    ASSERT_EQ(file.Close(), S_OK);
    EXPECT_LE(ReadFile(dir.file("a.mp3")).size(), kSmallTag + 128); // and an ID3v1 tag
    ASSERT_EQ(file.Open(dir.wfile("a.mp3"), 1), S_OK);
    EXPECT_EQ(Values(file, 4615), std::vector<std::wstring>{L"new title"});
}

} // namespace
