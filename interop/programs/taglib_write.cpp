// Writes one property of the matrix with TagLib, the way an application using
// it would: strings, the date and the URL through the property map, the other
// kinds as frames; then saves an ID3v2 tag of the requested version only.
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

TagLib::String Text(const json &value, const char *key) {
    return TagLib::String(value.at(key).get<std::string>(), TagLib::String::UTF8);
}

TagLib::ByteVector Bytes(const json &value, const char *key) {
    const std::vector<unsigned char> bytes = HexDecode(value.at(key).get<std::string>());
    return TagLib::ByteVector(reinterpret_cast<const char *>(bytes.data()), static_cast<unsigned>(bytes.size()));
}

const char *PropertyKey(const std::string &field) {
    if (field == "title") return "TITLE";
    if (field == "artist") return "ARTIST";
    if (field == "album") return "ALBUM";
    if (field == "track") return "TRACKNUMBER";
    if (field == "disc") return "DISCNUMBER";
    if (field == "genre") return "GENRE";
    if (field == "date") return "DATE";
    if (field == "url") return "ARTISTWEBPAGE";
    return nullptr;
}

void AddRecordFrame(TagLib::ID3v2::Tag &tag, const std::string &field, const json &value) {
    using namespace TagLib::ID3v2;
    if (field == "picture") {
        auto *frame = new AttachedPictureFrame;
        frame->setMimeType(Text(value, "mime"));
        frame->setType(AttachedPictureFrame::FrontCover);
        frame->setPicture(Bytes(value, "data"));
        tag.addFrame(frame);
    } else if (field == "musicid") {
        tag.addFrame(new UniqueFileIdentifierFrame(Text(value, "owner"), Bytes(value, "data")));
    } else if (field == "object") {
        auto *frame = new GeneralEncapsulatedObjectFrame;
        frame->setDescription(Text(value, "description"));
        frame->setMimeType(Text(value, "mime"));
        frame->setObject(Bytes(value, "data"));
        tag.addFrame(frame);
    } else if (field == "txxx") {
        tag.addFrame(new UserTextIdentificationFrame(Text(value, "description"), Text(value, "text"),
                                                     TagLib::String::UTF16));
    } else if (field == "comm") {
        auto *frame = new CommentsFrame(TagLib::String::UTF16);
        frame->setDescription(Text(value, "description"));
        frame->setLanguage(TagLib::ByteVector(value.at("lang").get<std::string>().c_str(), 3));
        frame->setText(Text(value, "text"));
        tag.addFrame(frame);
    } else {
        throw std::runtime_error("unknown field " + field);
    }
}

} // namespace

void TaglibWrite(const json &job) {
    const std::string version = job.at("version").get<std::string>();
    if (version != "2.3" && version != "2.4") throw std::runtime_error("TagLib writes ID3v2.3 and 2.4 only");
    TagLib::MPEG::File file(job.at("path").get<std::string>().c_str());
    if (!file.isValid()) throw std::runtime_error("not a valid MPEG file");
    TagLib::ID3v2::Tag &tag = *file.ID3v2Tag(true);
    const std::string field = job.at("field").get<std::string>();
    const json &value = job.at("value");
    if (const char *key = PropertyKey(field)) {
        TagLib::PropertyMap map = tag.properties();
        map.replace(key, TagLib::StringList(Text(value, field == "url" ? "url" : field == "date" ? "date" : "text")));
        const TagLib::PropertyMap rejected = tag.setProperties(map);
        if (!rejected.isEmpty()) throw std::runtime_error("property map rejected " + std::string(key));
    } else {
        AddRecordFrame(tag, field, value);
    }
    const auto id3v2 = version == "2.3" ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    if (!file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, id3v2))
        throw std::runtime_error("save failed");
}

} // namespace interop
