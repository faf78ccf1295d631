// Property identifiers and their frames, checked against an independent list:
// every string property read back from ID3v2.2, 2.3 and 2.4 tags, the set of
// identifiers that GetString accepts, and the version of an untagged content.
#include <gtest/gtest.h>

#include <set>

#include "support/read_support.h"
#include "tag_access/mapping.h"

using namespace testsupport;
using namespace tagmill;

namespace {

struct StringRow {
    long id;
    const char *v22;
    const char *v23;
};

// The text and URL properties with their frames; pairs share a frame.
const StringRow kStringRows[] = {
    {4615, "TT2", "TIT2"}, {4357, "TRK", "TRCK"}, {4610, "TRC", "TSRC"}, {4616, "TCO", "TCON"},
    {4617, "TCR", "TCOP"}, {4620, "TAL", "TALB"}, {4624, "TP1", "TPE1"}, {4646, "WAR", "WOAR"},
    {4627, "TCM", "TCOM"}, {8450, "TEN", "TENC"}, {288, "TPA", "TPOS"},  {289, "TPA", "TPOS"},
    {528, "TP2", "TPE2"},  {5639, "TST", "TSOT"}, {5644, "TSA", "TSOA"}, {5648, "TSP", "TSOP"},
    {593, "TS2", "TSO2"},  {5651, "TSC", "TSOC"}, {4397, "TRK", "TRCK"},
};

// A tag holding each frame once, its text being the frame ID itself, plus the
// user-defined frames of 4717 and 9233.
Bytes EveryStringFrame(int major) {
    FrameList frames;
    std::set<std::string> seen;
    for (const StringRow &row : kStringRows) {
        const std::string id = major == 2 ? row.v22 : row.v23;
        if (!seen.insert(id).second) continue;
        frames.push_back({id, id[0] == 'W' ? Ascii(id) : Latin1Text(id)});
    }
    frames.push_back({major == 2 ? "TXX" : "TXXX", Concat({Latin1Text("GN_ExtData"), Bytes{0}, Ascii("x")})});
    frames.push_back({major == 2 ? "COM" : "COMM", Concat({Latin1Text("eng"), Ascii("iTunSMPB"), Bytes{0}, Ascii("y")})});
    return TagV2(major, frames);
}

TEST(FrameMapping, EveryStringPropertyReadsItsFrameInEachVersion) {
    for (int major : {2, 3, 4}) {
        CTagmill tag;
        ASSERT_EQ(OpenBytes(tag, EveryStringFrame(major)), S_OK);
        EXPECT_EQ(tag.TagVersion(), major - 2);
        for (const StringRow &row : kStringRows) {
            const std::string id = major == 2 ? row.v22 : row.v23;
            long hr = 0;
            std::vector<std::wstring> values = Values(tag, row.id, &hr);
            ASSERT_EQ(hr, S_OK) << row.id << " in v2." << major;
            EXPECT_EQ(values, std::vector<std::wstring>{Widen(id)}) << row.id << " in v2." << major;
        }
        // String identifiers too, but they belong to the user-defined strings.
        for (long id : {4717L, 9233L}) EXPECT_EQ(Values(tag, id).size(), 0u) << id;
    }
}

TEST(FrameMapping, GetStringAcceptsExactlyTheStringIdentifiers) {
    const std::set<long> expected = {288,  289,  528,  593,  4357, 4397, 4610, 4615, 4616, 4617, 4620,
                                     4624, 4627, 4646, 4717, 5639, 5644, 5648, 5651, 8450, 9233};
    CTagmill tag;
    ASSERT_EQ(OpenBytes(tag, TagV2(3, {})), S_OK);
    std::set<long> accepted;
    for (long id = -5; id < 0x3000; ++id) {
        long hr = 0;
        Values(tag, id, &hr);
        if (hr != E_PROPERTY_UNSUPPORTED) accepted.insert(id);
    }
    EXPECT_EQ(accepted, expected);
}

TEST(FrameMapping, ContentWithoutId3v2TagOpensAsVersion23) {
    CTagmill tag;
    ASSERT_EQ(OpenBytes(tag, FakeAudio()), S_OK);
    EXPECT_EQ(tag.TagVersion(), 1);
    for (long id : {5120L, 8960L, 8966L}) EXPECT_EQ(mapping::Find(id), nullptr) << id; // no frame of their own
    tag.Close();
    EXPECT_EQ(tag.TagVersion(), TAV_ID3_VNONE);
}

} // namespace
