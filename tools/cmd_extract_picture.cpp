// `tagmill extract-picture FILE OUT` and `tagmill extract-picture FILE...
// [-r DIR] --out-dir DIR`: the bytes of the first picture, exactly as the tag
// holds them.
#include <memory>

#include "commands.h"
#include "extract.h"
#include "image_type.h"
#include "records.h"
#include "utf8.h"

namespace tool {

namespace {

bool ReadPicture(const std::string &path, Extracted &out, Failure &failure) {
    CTagmill tag;
    const Opened opened = OpenSource(tag, path, failure);
    if (opened == Opened::NoTag) out.missing = "has no picture (no ID3 chunk)";
    if (opened != Opened::Ok) return opened == Opened::NoTag;
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    long hr = tag.GetBinary(kPictureProperty, pictures);
    if (hr == tagmill::E_PROPERTY_ABSENT || (hr == tagmill::S_OK && (pictures.empty() || !pictures.front()))) {
        out.missing = "has no picture";
        return true;
    }
    if (tagmill::Failed(hr)) {
        failure = {"cannot read the picture", hr};
        return false;
    }
    const CTagmill::CPicture &picture = *pictures.front();
    long size = picture.Size() > 0 ? picture.Size() : 0;
    out.bytes.resize(static_cast<size_t>(size));
    unsigned char *data = out.bytes.data();
    if (size > 0) {
        hr = picture.GetData(&data, size);
        if (tagmill::Failed(hr)) {
            failure = {"cannot read the picture", hr};
            return false;
        }
        out.bytes.resize(static_cast<size_t>(size));
    }
    out.extension = ImageExtension(Narrow(picture.Mime()), out.bytes);
    return true;
}

} // namespace

Command AddExtractPictureCommand(CLI::App &program) {
    auto options = std::make_shared<ExtractOptions>();
    CLI::App *app = program.add_subcommand(
        "extract-picture", "Write the first picture of a file as an image file (FILE OUT), or of many files into "
                           "a directory (--out-dir)");
    AddExtractOptions(*app, *options, "the picture");
    return {app, [options] { return RunExtract("extract-picture", *options, "without a picture", ReadPicture); }};
}

} // namespace tool
