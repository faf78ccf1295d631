// Builders and helpers of the program tests.
#include "tool_fixture.h"

#include <algorithm>

namespace tooltest {

using namespace testsupport;

Bytes Id3v1(const std::string &title, uint8_t track, uint8_t genre) {
    Bytes tag(128, 0);
    tag[0] = 'T', tag[1] = 'A', tag[2] = 'G';
    for (size_t i = 0; i < title.size() && i < 30; ++i) tag[3 + i] = static_cast<uint8_t>(title[i]);
    tag[126] = track;
    tag[127] = genre;
    return tag;
}

Bytes Aiff(const Bytes &tag) {
    const Bytes comm = Concat({Ascii("COMM"), Be32(18), Bytes{0, 1, 0, 0, 0, 0, 0, 16},
                               Bytes{0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}});
    const Bytes ssnd = Concat({Ascii("SSND"), Be32(8), Bytes(8, 0)});
    Bytes chunks = Concat({Ascii("AIFF"), comm, ssnd});
    if (!tag.empty()) {
        chunks = Concat({chunks, Ascii("ID3 "), Be32(static_cast<uint32_t>(tag.size())), tag});
        if (tag.size() % 2) chunks.push_back(0);
    }
    return Concat({Ascii("FORM"), Be32(static_cast<uint32_t>(chunks.size())), chunks});
}

Bytes ImageBytes(const std::string &format, size_t size) {
    Bytes magic;
    if (format == "png") magic = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (format == "jpeg") magic = {0xFF, 0xD8, 0xFF, 0xE0};
    if (format == "gif") magic = Ascii("GIF89a");
    if (format == "webp") magic = Concat({Ascii("RIFF"), Bytes{0x20, 0, 0, 0}, Ascii("WEBP")});
    Bytes bytes = magic;
    for (size_t i = bytes.size(); i < size; ++i) bytes.push_back(static_cast<uint8_t>(i * 7 + 1));
    return bytes;
}

Bytes LeadingTag(const Bytes &file) {
    if (file.size() < 10) return {};
    const size_t size = size_t(file[6]) << 21 | size_t(file[7]) << 14 | size_t(file[8]) << 7 | file[9];
    return Bytes(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), 10 + size)));
}

void EditWithLibrary(const std::string &path, const std::function<void(CTagmill &)> &edit) {
    CTagmill tag;
    const bool aiff = path.size() > 5 && path.substr(path.size() - 5) == ".aiff";
    const long opened = aiff ? tag.OpenForAiff(Widen(path), 2) : tag.Open(Widen(path), 2);
    ASSERT_EQ(opened, tagmill::S_OK) << path;
    edit(tag);
    ASSERT_EQ(tag.Close(), tagmill::S_OK) << path;
}

std::string SamplePath() { return std::string(TAGMILL_SOURCE_DIR) + "/samples/sample.mp3"; }

nlohmann::json ToolTest::RunJson(const std::vector<std::string> &args) {
    const RunResult result = Run(args);
    EXPECT_EQ(result.status, 0) << result.err;
    return nlohmann::json::parse(result.out);
}

std::string ToolTest::CopySample(const std::string &name) { return Put(name, ReadFile(SamplePath())); }

std::string ToolTest::Put(const std::string &name, const Bytes &bytes) {
    const std::string path = dir.file(name);
    WriteFile(path, bytes);
    return path;
}

} // namespace tooltest
