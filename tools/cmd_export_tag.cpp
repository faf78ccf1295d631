// `tagmill export-tag FILE OUT.id3` and `tagmill export-tag FILE... [-r DIR]
// --out-dir DIR`: the whole ID3v2 tag, byte for byte as the file holds it
// (header, extended header, frames and padding), for backup or for copying a
// tag elsewhere.
#include <filesystem>
#include <memory>
#include <system_error>

#include "commands.h"
#include "extract.h"
#include "raw_tag.h"

namespace tool {

namespace {

bool ReadTag(const std::string &path, Extracted &out, Failure &failure) {
    CTagmill tag;
    const Opened opened = OpenSource(tag, path, failure);
    if (opened == Opened::NoTag) out.missing = "has no ID3v2 tag (no ID3 chunk)";
    if (opened != Opened::Ok) return opened == Opened::NoTag;
    std::error_code error;
    const auto length = std::filesystem::file_size(std::filesystem::u8path(path), error);
    const long hr = FetchTag(tag, out.bytes, error ? ~0ULL : length);
    if (hr == tagmill::S_FALSE) {
        out.missing = "has no ID3v2 tag";
        return true;
    }
    if (tagmill::Failed(hr)) {
        failure = {"cannot read the tag", hr};
        return false;
    }
    out.extension = "id3";
    return true;
}

} // namespace

Command AddExportTagCommand(CLI::App &program) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App *app = program.add_subcommand(
        "export-tag", "Write the raw ID3v2 tag of a file to OUT (FILE OUT), or of many files into a directory "
                      "(--out-dir), as NAME.id3");
    AddExtractOptions(*app, *options, "the raw ID3v2 tag");
    return {app, [options] { return RunExtract("export-tag", *options, "without an ID3v2 tag", ReadTag); }};
}

} // namespace tool
