// The ID3v1 tag: 128 bytes at the very end of the content, read and written
// field by field straight on the content. Writing to a content without a tag
// appends a fresh one. Text fields carry the caller's bytes unconverted.
#include <cstdio>
#include <cstring>

#include "engine/internal.h"

namespace {

// Layout: "TAG", title, artist, album (30 bytes each), year (4), comment (28),
// then either two more comment bytes or a zero byte and the track number
// (ID3v1.1), and the genre.
const uint32_t kTagLength = 128;
const uint32_t kTextWidth = 30;
const uint32_t kTitleOffset = 3;
const uint32_t kArtistOffset = 33;
const uint32_t kAlbumOffset = 63;
const uint32_t kYearOffset = 93;
const uint32_t kYearWidth = 4;
const uint32_t kTrackOffset = 125; // zero byte, then the track number
const uint32_t kTrackWidth = 2;
const uint32_t kGenreOffset = 127;
const uint8_t kFill = 0x20;        // fields are padded with spaces, not zeros
const uint8_t kNoGenre = 255;

const char kInvalid[] = "in %s() parameter is invalid.";
const char kBadState[] = "in %s() transaction is invalid.";

// Reads the last 128 bytes; TAV_OK when they form a tag.
int32_t read_tag(tav_id3_context *context, uint8_t tag[kTagLength]) {
    if (tav_id3_seek_content(context, -(int32_t)kTagLength, 2) < 0) return TAV_ERR_SEEK;
    if (tav_id3_read_content(context, tag, kTagLength) != (int32_t)kTagLength) return TAV_ERR_READ;
    return std::memcmp(tag, "TAG", 3) == 0 ? TAV_OK : TAV_ERR_NOT_FOUND;
}

int32_t write_all(tav_id3_context *context, const uint8_t *bytes, uint32_t count) {
    return tav_id3_write_content(context, bytes, count) == (int32_t)count ? TAV_OK : TAV_ERR_WRITE;
}

// Puts one field into a 128-byte tag: with a tag present only the field's
// width changes (the value, then spaces); otherwise the bytes become a new
// space-filled tag holding just this value. The value must fit the field.
void put_field(uint8_t tag[kTagLength], bool present, uint32_t offset, uint32_t width, const uint8_t *value,
               uint32_t length) {
    if (!present) {
        std::memset(tag, kFill, kTagLength);
        std::memcpy(tag, "TAG", 3);
        tag[kGenreOffset] = kNoGenre;
    }
    std::memset(tag + offset, kFill, width);
    std::memcpy(tag + offset, value, length);
}

// Writes one field: over the field's bytes when the content has a tag, else
// a new tag holding this value is appended.
int32_t write_field(tav_id3_context *context, uint32_t offset, uint32_t width, const uint8_t *value,
                    uint32_t length) {
    uint8_t tag[kTagLength];
    bool present = read_tag(context, tag) == TAV_OK;
    put_field(tag, present, offset, width, value, length);
    if (present) {
        if (tav_id3_seek_content(context, -(int32_t)(kTagLength - offset), 2) < 0) return TAV_ERR_SEEK;
        return write_all(context, tag + offset, width);
    }
    if (tav_id3_seek_content(context, 0, 2) < 0) return TAV_ERR_SEEK;
    return write_all(context, tag, kTagLength);
}

// Bytes of a text value to store, terminator included, at most the field
// width. A value that opens with a UTF-16 byte order mark runs to its first
// two-byte zero unit; such a value must be terminated by one, or be at least
// 30 bytes long. Any other value ends at its first zero byte.
uint32_t text_value_length(const char *value, size_t length) {
    const uint8_t *b = reinterpret_cast<const uint8_t *>(value);
    if (length >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE))) {
        for (uint32_t i = 0; i + 1 < kTextWidth; i += 2)
            if (b[i] == 0 && b[i + 1] == 0) return i + 2;
        return kTextWidth;
    }
    return length + 1 < kTextWidth ? (uint32_t)length + 1 : kTextWidth;
}

// The frame every writer shares: the entry trace, the argument checks (a null
// context or an argument the caller found invalid), the state check, the write
// itself, and the exit trace once it succeeded. Failures of the checks are
// logged under the function's name.
template <class Write>
int32_t write_value(tav_id3_context *context, bool valid, const char *name, const char *enter, const char *exit,
                    Write write) {
    tav_trace(enter);
    if (!context || !valid) {
        tav_log_error(kInvalid, name);
        return TAV_ERR_PARAM;
    }
    if (context->transaction_state != TAV_TRANSACTION_NONE) {
        tav_log_error(kBadState, name);
        return TAV_ERR_STATE;
    }
    int32_t rc = write();
    if (rc == TAV_OK) tav_trace(exit);
    return rc;
}

// The readers' frame: like the writers', but reading is allowed during an
// ID3v2 edit too, and the tag is read (its failure passed on unlogged) before
// `take` picks the value out of it.
template <class Take>
int32_t read_value(tav_id3_context *context, bool valid, const char *name, const char *enter, const char *exit,
                   Take take) {
    tav_trace(enter);
    if (!context || !valid) {
        tav_log_error(kInvalid, name);
        return TAV_ERR_PARAM;
    }
    if (context->transaction_state != TAV_TRANSACTION_NONE &&
        context->transaction_state != TAV_TRANSACTION_V2_EDIT) {
        tav_log_error(kBadState, name);
        return TAV_ERR_STATE;
    }
    uint8_t tag[kTagLength];
    int32_t rc = read_tag(context, tag);
    if (rc != TAV_OK) return rc;
    rc = take(tag);
    if (rc == TAV_OK) tav_trace(exit);
    return rc;
}

// A text value longer than the field is refused, not cut.
int32_t set_text(tav_id3_context *context, const char *value, uint32_t offset, const char *name,
                 const char *enter, const char *exit) {
    const size_t length = value ? std::strlen(value) : 0;
    return write_value(context, value && length <= kTextWidth, name, enter, exit, [&] {
        return write_field(context, offset, kTextWidth, reinterpret_cast<const uint8_t *>(value),
                           text_value_length(value, length));
    });
}

// The year field: four spaces for year 0, else "%d" when that gives exactly
// four characters; false for any other year.
bool year_text(int32_t year, char text[kYearWidth + 1]) {
    std::memset(text, kFill, kYearWidth);
    text[kYearWidth] = 0;
    return year == 0 || std::snprintf(text, kYearWidth + 1, "%d", year) == (int)kYearWidth;
}

bool is_c_space(uint8_t c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Copies up to *length (at most 30) bytes of a text field, drops trailing
// whitespace, and reports the length of the resulting C string, which ends at
// the first zero byte (the terminator the writers store).
int32_t get_text(tav_id3_context *context, char *buffer, uint32_t *length, uint32_t offset, const char *name,
                 const char *enter, const char *exit) {
    return read_value(context, buffer && length, name, enter, exit, [&](const uint8_t *tag) {
        uint32_t n = *length < kTextWidth ? *length : kTextWidth;
        *length = n;
        std::memcpy(buffer, tag + offset, n);
        buffer[n] = 0;
        for (uint32_t i = n; i > 0 && is_c_space((uint8_t)buffer[i - 1]); --i) buffer[i - 1] = 0;
        *length = (uint32_t)std::strlen(buffer);
        return TAV_OK;
    });
}

// The year field as the C library's atoi reads it: leading whitespace, an
// optional sign, then digits up to the first other byte; 0 without digits.
int32_t parse_year(const uint8_t field[kYearWidth]) {
    uint32_t i = 0;
    while (i < kYearWidth && is_c_space(field[i])) ++i;
    bool negative = false;
    if (i < kYearWidth && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    int32_t value = 0;
    for (; i < kYearWidth && field[i] >= '0' && field[i] <= '9'; ++i) value = value * 10 + (field[i] - '0');
    return negative ? -value : value;
}

} // namespace

int32_t tav_id3_v1_set_title(tav_id3_context *context, const char *title) {
    return set_text(context, title, kTitleOffset, "tav_id3_v1_set_title", "tav_id3_v1_set_title() enter",
                    "tav_id3_v1_set_title() exit");
}

int32_t tav_id3_v1_set_artist(tav_id3_context *context, const char *artist) {
    return set_text(context, artist, kArtistOffset, "tav_id3_v1_set_artist", "tav_id3_v1_set_artist() enter",
                    "tav_id3_v1_set_artist() exit");
}

int32_t tav_id3_v1_set_album(tav_id3_context *context, const char *album) {
    return set_text(context, album, kAlbumOffset, "tav_id3_v1_set_album", "tav_id3_v1_set_album() enter",
                    "tav_id3_v1_set_album() exit");
}

// Year 0 clears the field to spaces; any other year must print as exactly four
// characters (1000 to 9999, or -999 to -100).
int32_t tav_id3_v1_set_year(tav_id3_context *context, int32_t year) {
    auto write = [&]() -> int32_t {
        char text[kYearWidth + 1];
        if (!year_text(year, text)) {
            tav_log_error("in %s() snprintf() failed.", "tav_id3_v1_set_year");
            return TAV_ERR_PARAM;
        }
        return write_field(context, kYearOffset, kYearWidth, reinterpret_cast<const uint8_t *>(text), kYearWidth);
    };
    return write_value(context, true, "tav_id3_v1_set_year", "tav_id3_v1_set_year() enter",
                       "tav_id3_v1_set_year() exit", write);
}

int32_t tav_id3_v1_set_genre(tav_id3_context *context, uint8_t genre) {
    return write_value(context, true, "tav_id3_v1_set_genre", "tav_id3_v1_set_genre() enter",
                       "tav_id3_v1_set_genre() exit",
                       [&] { return write_field(context, kGenreOffset, 1, &genre, 1); });
}

// The zero byte before the track number marks the tag as ID3v1.1 and takes the
// last two bytes of the comment.
int32_t tav_id3_v1_set_tracknumber(tav_id3_context *context, uint8_t track) {
    const uint8_t value[kTrackWidth] = {0, track};
    return write_value(context, true, "tav_id3_v1_set_tracknumber", "tav_id3_v1_set_tracknumber() enter",
                       "tav_id3_v1_set_tracknumber() exit",
                       [&] { return write_field(context, kTrackOffset, kTrackWidth, value, kTrackWidth); });
}

int32_t tav_id3_v1_get_title(tav_id3_context *context, char *buffer, uint32_t *length) {
    return get_text(context, buffer, length, kTitleOffset, "tav_id3_v1_get_title", "tav_id3_v1_get_title() enter",
                    "tav_id3_v1_get_title() exit");
}

int32_t tav_id3_v1_get_artist(tav_id3_context *context, char *buffer, uint32_t *length) {
    return get_text(context, buffer, length, kArtistOffset, "tav_id3_v1_get_artist",
                    "tav_id3_v1_get_artist() enter", "tav_id3_v1_get_artist() exit");
}

int32_t tav_id3_v1_get_album(tav_id3_context *context, char *buffer, uint32_t *length) {
    return get_text(context, buffer, length, kAlbumOffset, "tav_id3_v1_get_album", "tav_id3_v1_get_album() enter",
                    "tav_id3_v1_get_album() exit");
}

int32_t tav_id3_v1_get_year(tav_id3_context *context, int32_t *year) {
    auto take = [&](const uint8_t *tag) {
        *year = parse_year(tag + kYearOffset);
        return TAV_OK;
    };
    return read_value(context, year != nullptr, "tav_id3_v1_get_year", "tav_id3_v1_get_year() enter",
                      "tav_id3_v1_get_year() exit", take);
}

int32_t tav_id3_v1_get_genre(tav_id3_context *context, uint32_t *genre) {
    auto take = [&](const uint8_t *tag) {
        *genre = tag[kGenreOffset];
        return TAV_OK;
    };
    return read_value(context, genre != nullptr, "tav_id3_v1_get_genre", "tav_id3_v1_get_genre() enter",
                      "tav_id3_v1_get_genre() exit", take);
}

// Only an ID3v1.1 tag (zero byte at 125) has a track number. The exit trace
// of this one has always read without the parentheses; it is kept as it is.
int32_t tav_id3_v1_get_tracknumebr(tav_id3_context *context, uint8_t *track) {
    auto take = [&](const uint8_t *tag) {
        if (tag[kTrackOffset] != 0) return TAV_ERR_NOT_FOUND;
        *track = tag[kTrackOffset + 1];
        return TAV_OK;
    };
    return read_value(context, track != nullptr, "tav_id3_v1_get_tracknumebr",
                      "tav_id3_v1_get_tracknumebr() enter", "tav_id3_v1_get_tracknumebr exit", take);
}

int32_t tav_id3_v1_check_update(const tav_id3_v1_update *v1) {
    char text[kYearWidth + 1];
    return !(v1->fields & TAV_V1_YEAR) || year_text(v1->year, text) ? TAV_OK : TAV_ERR_PARAM;
}

// The fields in the order the class layer has always written them one by one;
// the first one put into a missing tag makes it, the others then patch it.
void tav_id3_v1_apply_update(const tav_id3_v1_update *v1, uint8_t tag[128], int32_t *present) {
    auto text = [&](uint32_t bit, const char *value, uint32_t offset) {
        if (!(v1->fields & bit)) return;
        put_field(tag, *present, offset, kTextWidth, reinterpret_cast<const uint8_t *>(value),
                  text_value_length(value, std::strlen(value)));
        *present = 1;
    };
    auto bytes = [&](uint32_t bit, uint32_t offset, uint32_t width, const uint8_t *value) {
        if (!(v1->fields & bit)) return;
        put_field(tag, *present, offset, width, value, width);
        *present = 1;
    };
    text(TAV_V1_TITLE, v1->title, kTitleOffset);
    text(TAV_V1_ALBUM, v1->album, kAlbumOffset);
    bytes(TAV_V1_GENRE, kGenreOffset, 1, &v1->genre);
    text(TAV_V1_ARTIST, v1->artist, kArtistOffset);
    const uint8_t track[kTrackWidth] = {0, v1->track};
    bytes(TAV_V1_TRACK, kTrackOffset, kTrackWidth, track);
    char year[kYearWidth + 1];
    year_text(v1->year, year);
    bytes(TAV_V1_YEAR, kYearOffset, kYearWidth, reinterpret_cast<const uint8_t *>(year));
}
