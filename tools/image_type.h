// Image formats recognised by their first bytes, for pictures given to `set`
// and `build-tag`, and file name extensions for pictures written out.
#ifndef TAGMILL_TOOLS_IMAGE_TYPE_H
#define TAGMILL_TOOLS_IMAGE_TYPE_H

#include <string>
#include <vector>

namespace tool {

// "image/jpeg" (FF D8 FF), "image/png" (89 "PNG"), "image/gif" ("GIF8") or
// "image/webp" ("RIFF", four size bytes, "WEBP"); null for anything else.
const char *ImageMimeType(const std::vector<unsigned char> &bytes);

// "jpg", "png", "gif", "webp" or "bmp" for a picture's MIME type (any case,
// "image/jpg" too); otherwise the extension of the format its bytes show;
// otherwise "bin".
std::string ImageExtension(const std::string &mime, const std::vector<unsigned char> &bytes);

} // namespace tool

#endif
