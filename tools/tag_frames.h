// The frames of a file's ID3v2 tag in tag order, as the engine's frame walk
// finds them (the program has no frame parser of its own): each frame's ID,
// where it sits, its size and flags, and its data ready for the payload
// decoders (unsynchronisation undone, the extra header bytes stripped).
#ifndef TAGMILL_TOOLS_TAG_FRAMES_H
#define TAGMILL_TOOLS_TAG_FRAMES_H

#include <cstdint>
#include <string>
#include <vector>

#include <tagmill/engine.h>

namespace tool {

struct TagFrame {
    std::string id;           // "TIT2", or three characters in an ID3v2.2 tag
    uint32_t offset = 0;      // of the frame header, from the start of the tag
    uint32_t dataOffset = 0;  // of the byte after the frame header, in the content
    uint32_t size = 0;        // the size its header gives
    unsigned char flags[2] = {0, 0}; // the flag bytes as stored (none in 2.2)
    bool overruns = false;    // claims more bytes than the tag has left
    bool opaque = false;      // compressed or encrypted: data is as stored
    bool readable = true;     // its data could be read
    std::vector<unsigned char> data;
};

struct TagFrames {
    tav_id3_v2_header header{};
    int major = 0;            // 2, 3 or 4; 0 for a version the engine does not read
    uint32_t frameAreaStart = 0; // offset of the first frame from the start of the tag
    std::vector<TagFrame> frames;
};

// A read-only engine context on a file, destroyed with the object.
class ReadContext {
public:
    ReadContext() = default;
    ReadContext(const ReadContext &) = delete;
    ReadContext &operator=(const ReadContext &) = delete;
    ~ReadContext();
    // The engine's result of creating the context (TAV_ERR_SEEK for an AIFF
    // form without an "ID3 " chunk).
    int32_t Open(const std::string &path, bool aiff);
    tav_id3_context &get() { return m_context; }

private:
    tav_id3_context m_context{};
    bool m_open = false;
};

// Reads the frames through an open engine context. TAV_OK; TAV_ERR_NOT_FOUND
// when the content has no ID3v2 tag; another engine failure, with the frames
// found before the walk failed.
int32_t ReadTagFrames(tav_id3_context &context, TagFrames &out);

// The flag names of a frame, in the layout of its tag's version
// ("file_alter", "compression", "data_length", ...).
std::vector<std::string> FrameFlagNames(int major, const unsigned char flags[2]);

} // namespace tool

#endif
