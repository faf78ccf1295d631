// The two owner identifiers under which the music-ID provider stores its unique
// file identifiers: the first, with a scheme, is written for records that name
// no owner; both are accepted when a tag is read.
#ifndef TAGMILL_TAG_ACCESS_MUSIC_ID_OWNERS_H
#define TAGMILL_TAG_ACCESS_MUSIC_ID_OWNERS_H

namespace tagmill {
namespace musicid {

constexpr char kOwner[] = "http://musicid.tagmill.org";
constexpr char kOwnerWithoutScheme[] = "musicid.tagmill.org";

} // namespace musicid
} // namespace tagmill

#endif
