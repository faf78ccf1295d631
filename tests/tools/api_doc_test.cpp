// Keeps the API guide (docs/api.md) complete: it must name every property
// identifier of the frame mapping table, the identifiers without a row, and
// every result code that result.h defines.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "tag_access/mapping.h"

namespace {

std::string ReadText(const std::string &path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The number as a whole word: 4615 does not count inside 46150.
bool MentionsNumber(const std::string &text, long number) {
    const std::string word = std::to_string(number);
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (size_t at = text.find(word); at != std::string::npos; at = text.find(word, at + 1)) {
        const size_t end = at + word.size();
        if ((at == 0 || !isDigit(text[at - 1])) && (end == text.size() || !isDigit(text[end]))) return true;
    }
    return false;
}

const std::string kGuide = std::string(TAGMILL_SOURCE_DIR) + "/docs/api.md";

TEST(ApiGuide, NamesEveryPropertyIdentifier) {
    const std::string guide = ReadText(kGuide);
    ASSERT_FALSE(guide.empty()) << kGuide;
    for (size_t i = 0; i < tagmill::mapping::kTableSize; ++i)
        EXPECT_TRUE(MentionsNumber(guide, tagmill::mapping::kTable[i].propertyId))
            << tagmill::mapping::kTable[i].propertyId;
    EXPECT_TRUE(MentionsNumber(guide, tagmill::mapping::kDateId));
    for (long id = 8960; id <= 8966; ++id) EXPECT_TRUE(MentionsNumber(guide, id)) << id;
}

TEST(ApiGuide, NamesEveryResultCode) {
    const std::string guide = ReadText(kGuide);
    const std::string header = ReadText(std::string(TAGMILL_SOURCE_DIR) + "/include/tagmill/result.h");
    const std::regex constant("constexpr long ([A-Z_]+) =");
    int codes = 0;
    for (std::sregex_iterator it(header.begin(), header.end(), constant), end; it != end; ++it, ++codes)
        EXPECT_NE(guide.find("`" + (*it)[1].str() + "`"), std::string::npos) << (*it)[1].str();
    EXPECT_GE(codes, 11);
}

} // namespace
