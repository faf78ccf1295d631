// Helpers for tests of the read path: tags of a chosen ID3v2 version built from
// (frame ID, payload) pairs, ID3v1 tags, text payloads, and opening a byte
// image as a memory content.
#ifndef TAGMILL_TEST_READ_SUPPORT_H
#define TAGMILL_TEST_READ_SUPPORT_H

#include <string>
#include <utility>
#include <vector>

#include "support/test_support.h"
#include "tagmill/tagmill.h"

namespace testsupport {

using FrameList = std::vector<std::pair<std::string, Bytes>>;

// A whole ID3v2 tag of major version 2, 3 or 4 holding the frames in order,
// followed by padding zero bytes.
Bytes TagV2(int major, const FrameList &frames, size_t padding = 16);

// A 128-byte ID3v1 tag; track < 0 gives ID3v1.0 (byte 125 not zero).
Bytes TagV1(const std::string &title, const std::string &artist = "", const std::string &album = "",
            uint8_t genre = 255, int track = -1);

// Payloads: 00 Latin-1 text (no terminator), 01 FF FE UTF-16LE (no terminator).
Bytes Latin1Text(const std::string &text);
Bytes Utf16Text(const std::wstring &text);

// Opens a copy of the bytes as a memory content (open mode 1).
long OpenBytes(CTagmill &tag, Bytes bytes);

// GetString's values, with its result in *hr.
std::vector<std::wstring> Values(CTagmill &tag, long propertyId, long *hr = nullptr);

} // namespace testsupport

#endif
