// Decoding of frame payloads for display: one decoder per payload layout
// (text, URL, user-defined text and URL, comment and lyrics, picture, unique
// file identifier, encapsulated object, private data, popularimeter), and for
// every other frame its size and first bytes. The library's record classes
// keep only what their properties need (a picture without its type and
// description, an object without its file name, a 64-byte music ID), so the
// frame listing decodes the layouts whole here.
#ifndef TAGMILL_TOOLS_FRAME_VALUES_H
#define TAGMILL_TOOLS_FRAME_VALUES_H

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tool {

struct FrameValue {
    nlohmann::ordered_json fields = nlohmann::ordered_json::object(); // e.g. {"text": ["Title"]}
    std::string line;        // the same on one line, for tables
};

// id: the frame ID ("TIT2", or "TT2" in an ID3v2.2 tag); major: 2, 3 or 4.
// Data that does not follow the layout is shown as raw bytes, with "error".
FrameValue DecodeFrame(const std::string &id, int major, const std::vector<unsigned char> &data);

// Lower-case hex of the first `limit` bytes, "..." when there are more.
std::string HexStart(const unsigned char *data, size_t size, size_t limit);

} // namespace tool

#endif
