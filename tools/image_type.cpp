// Magic bytes of the image formats that tags carry in practice.
#include "image_type.h"

#include <cctype>
#include <cstring>

namespace tool {

namespace {

bool At(const std::vector<unsigned char> &bytes, size_t offset, const char *magic, size_t length) {
    return bytes.size() >= offset + length && std::memcmp(bytes.data() + offset, magic, length) == 0;
}

std::string Lower(std::string text) {
    for (char &c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

} // namespace

const char *ImageMimeType(const std::vector<unsigned char> &bytes) {
    if (At(bytes, 0, "\xFF\xD8\xFF", 3)) return "image/jpeg";
    if (At(bytes, 0, "\x89PNG", 4)) return "image/png";
    if (At(bytes, 0, "GIF8", 4)) return "image/gif";
    if (At(bytes, 0, "RIFF", 4) && At(bytes, 8, "WEBP", 4)) return "image/webp";
    return nullptr;
}

std::string ImageExtension(const std::string &mime, const std::vector<unsigned char> &bytes) {
    const std::string type = Lower(mime);
    if (type == "image/jpeg" || type == "image/jpg") return "jpg";
    if (type == "image/png") return "png";
    if (type == "image/gif") return "gif";
    if (type == "image/webp") return "webp";
    if (type == "image/bmp") return "bmp";
    if (const char *sniffed = ImageMimeType(bytes)) return ImageExtension(sniffed, {});
    if (At(bytes, 0, "BM", 2)) return "bmp";
    return "bin";
}

} // namespace tool
