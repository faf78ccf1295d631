// Property identifiers: the set that GetString accepts, checked against an
// independent list. Which frame each one reads and writes in every tag version
// is checked by the round trips.
#include <gtest/gtest.h>

#include <set>

#include "support/read_support.h"

using namespace testsupport;
using namespace tagmill;

namespace {

TEST(FrameMapping, GetStringAcceptsExactlyTheStringIdentifiers) {
    const std::set<long> expected = {288,  289,  528,  593,  4357, 4397, 4610, 4615, 4616, 4617, 4620,
                                     4624, 4627, 4646, 4717, 5639, 5644, 5648, 5651, 8450, 9233};
    CTagmill tag;
    ASSERT_EQ(OpenBytes(tag, FakeAudio()), S_OK);
    EXPECT_EQ(tag.TagVersion(), 1) << "a content without an ID3v2 tag is taken for 2.3";
    std::set<long> accepted;
    for (long id = -5; id < 0x3000; ++id) {
        long hr = 0;
        Values(tag, id, &hr);
        if (hr != E_PROPERTY_UNSUPPORTED) accepted.insert(id);
    }
    EXPECT_EQ(accepted, expected);
}

} // namespace
