// The frame mapping table: which ID3v2 frame stores each property identifier,
// in ID3v2.2 and in ID3v2.3/2.4 tags, with the description and MIME type that
// single out one frame among several of the same ID. Read-only, for the class
// and for tools that list or name properties.
#ifndef TAGMILL_TAG_ACCESS_MAPPING_H
#define TAGMILL_TAG_ACCESS_MAPPING_H

#include <cstddef>
#include <cstdint>

namespace tagmill {
namespace mapping {

// A frame ID's characters packed most significant byte first: "TIT2" is
// 0x54495432, and a three-character ID3v2.2 ID leaves the low byte zero.
constexpr uint32_t FrameId(const char (&id)[5]) {
    return uint32_t(uint8_t(id[0])) << 24 | uint32_t(uint8_t(id[1])) << 16 | uint32_t(uint8_t(id[2])) << 8 |
           uint32_t(uint8_t(id[3]));
}
constexpr uint32_t FrameId(const char (&id)[4]) {
    return uint32_t(uint8_t(id[0])) << 24 | uint32_t(uint8_t(id[1])) << 16 | uint32_t(uint8_t(id[2])) << 8;
}

// What a property holds, which decides the cache it is loaded into.
enum class Kind { String, Picture, MusicId, Object, UserDefinedString };

struct Row {
    long propertyId;
    uint32_t frameV22;        // frame ID in ID3v2.2 tags
    uint32_t frameV23;        // frame ID in ID3v2.3 and ID3v2.4 tags
    const wchar_t *description; // null when frames are not told apart by one
    const char *mimeType;       // null when there is none
    bool unicode;             // text written as UTF-16 (else single-byte)
    Kind kind;
    const char *name;         // short English name, for tools and messages
};

// The 28 rows in table order; the loader walks them in this order.
extern const Row kTable[];
extern const size_t kTableSize;

// The row of an identifier, or null when it has none.
const Row *Find(long propertyId);

// Identifier sets that the class tests by kind (some have no row).
constexpr long kPictureId = 4640;
constexpr long kMusicId = 5891;
constexpr long kDateId = 5120;
constexpr long kUrlId = 4646;
bool IsObjectId(long propertyId);
bool IsUserDefinedStringId(long propertyId);

} // namespace mapping
} // namespace tagmill

#endif
