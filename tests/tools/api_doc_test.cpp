// Keeps the API guide (docs/api.md) complete: it must name every property
// identifier of the frame mapping table, the identifiers without a row, and
// every result code that result.h defines.
#include <regex>

#include "tag_access/mapping.h"
#include "tool_fixture.h"

namespace {

// The number as a whole word: 4615 does not count inside 46150.
bool MentionsNumber(const std::string &text, long number) {
    return std::regex_search(text, std::regex("(^|[^0-9])" + std::to_string(number) + "([^0-9]|$)"));
}

TEST(ApiGuide, NamesEveryPropertyIdentifierAndResultCode) {
    const std::string guide = tooltest::ReadText(std::string(TAGMILL_SOURCE_DIR) + "/docs/api.md");
    for (size_t i = 0; i < tagmill::mapping::kTableSize; ++i)
        EXPECT_TRUE(MentionsNumber(guide, tagmill::mapping::kTable[i].propertyId))
            << tagmill::mapping::kTable[i].propertyId;
    EXPECT_TRUE(MentionsNumber(guide, tagmill::mapping::kDateId));
    for (long id = 8960; id <= 8966; ++id) EXPECT_TRUE(MentionsNumber(guide, id)) << id;

    const std::string header = tooltest::ReadText(std::string(TAGMILL_SOURCE_DIR) + "/include/tagmill/result.h");
    const std::regex constant("constexpr long ([A-Z_]+) =");
    int codes = 0;
    for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it, ++codes)
        EXPECT_NE(guide.find("`" + (*it)[1].str() + "`"), std::string::npos) << (*it)[1].str();
    EXPECT_GE(codes, 11);
}

} // namespace
