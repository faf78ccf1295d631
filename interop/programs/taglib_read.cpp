// Reads the matrix's properties from the ID3v2 tag alone (an ID3v1 tag of the
// same file must not fill gaps): strings and the date from TagLib's property
// map, the record-valued frames from its frame classes.
#include <stdexcept>
#include <string>

#include <taglib/attachedpictureframe.h>
#include <taglib/commentsframe.h>
#include <taglib/generalencapsulatedobjectframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tpropertymap.h>
#include <taglib/uniquefileidentifierframe.h>

#include "taglib_peer.h"

namespace interop {

namespace {

std::string Utf8(const TagLib::String &text) { return text.to8Bit(true); }

std::string Hex(const TagLib::ByteVector &bytes) {
    return HexEncode(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size());
}

void ReadProperties(const TagLib::ID3v2::Tag &tag, json &values) {
    const std::pair<const char *, const char *> keys[] = {
        {"title", "TITLE"}, {"artist", "ARTIST"}, {"album", "ALBUM"}, {"track", "TRACKNUMBER"},
        {"disc", "DISCNUMBER"}, {"genre", "GENRE"}, {"url", "ARTISTWEBPAGE"}, {"date", "DATE"}};
    const TagLib::PropertyMap map = tag.properties();
    for (const auto &key : keys) {
        auto it = map.find(key.second);
        if (it != map.end() && !it->second.isEmpty()) values[key.first] = Utf8(it->second.front());
    }
}

template <typename Frame>
Frame *First(const TagLib::ID3v2::Tag &tag, const char *id) {
    const TagLib::ID3v2::FrameList &frames = tag.frameListMap()[id];
    return frames.isEmpty() ? nullptr : dynamic_cast<Frame *>(frames.front());
}

void ReadRecords(TagLib::ID3v2::Tag &tag, json &values) {
    if (auto *picture = First<TagLib::ID3v2::AttachedPictureFrame>(tag, "APIC"))
        values["picture"] = {{"mime", Utf8(picture->mimeType())},
                             {"type", static_cast<int>(picture->type())},
                             {"data", Hex(picture->picture())}};
    if (auto *id = First<TagLib::ID3v2::UniqueFileIdentifierFrame>(tag, "UFID"))
        values["musicid"] = {{"owner", Utf8(id->owner())}, {"data", Hex(id->identifier())}};
    if (auto *object = First<TagLib::ID3v2::GeneralEncapsulatedObjectFrame>(tag, "GEOB"))
        values["object"] = {{"description", Utf8(object->description())},
                            {"mime", Utf8(object->mimeType())},
                            {"filename", Utf8(object->fileName())},
                            {"data", Hex(object->object())}};
    if (auto *text = TagLib::ID3v2::UserTextIdentificationFrame::find(&tag, "GN_ExtData")) {
        const TagLib::StringList fields = text->fieldList();
        values["txxx"] = {{"description", Utf8(text->description())},
                          {"text", fields.size() > 1 ? Utf8(fields[1]) : std::string()}};
    }
    if (auto *comment = TagLib::ID3v2::CommentsFrame::findByDescription(&tag, "iTunSMPB"))
        values["comm"] = {{"description", Utf8(comment->description())},
                          {"lang", std::string(comment->language().data(), comment->language().size())},
                          {"text", Utf8(comment->text())}};
}

} // namespace

json TaglibRead(const json &job) {
    TagLib::MPEG::File file(job.at("path").get<std::string>().c_str());
    if (!file.isValid()) throw std::runtime_error("not a valid MPEG file");
    json values = json::object();
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(false);
    if (!tag || tag->isEmpty()) return values;
    values["version"] = "2." + std::to_string(tag->header()->majorVersion());
    ReadProperties(*tag, values);
    ReadRecords(*tag, values);
    return values;
}

} // namespace interop
