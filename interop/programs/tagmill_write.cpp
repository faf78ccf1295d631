// Writes one property of the matrix into a file through CTagmill, as a host
// would: open read-write, put the value, close (which commits). The version is
// whatever the file holds: the library creates ID3v2.3 tags and edits 2.2 and
// 2.4 tags in place.
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <tagmill/tagmill.h>

#include "tagmill_peer.h"
#include "utf8.h"

namespace interop {

namespace {

void Check(long hr, const std::string &what) {
    if (tagmill::Failed(hr)) throw std::runtime_error(what + " failed: " + tagmill::ResultName(hr));
}

long StringField(const std::string &field) {
    if (field == "title") return kTitle;
    if (field == "artist") return kArtist;
    if (field == "album") return kAlbum;
    if (field == "track") return kTrack;
    if (field == "disc") return kDisc;
    if (field == "genre") return kGenre;
    if (field == "url") return kArtistUrl;
    return 0;
}

std::wstring Text(const json &value, const char *key) { return tool::Widen(value.at(key).get<std::string>()); }

void PutDate(CTagmill &tag, const json &value) {
    int year = 0, month = 0, day = 0;
    if (!ParseIsoDate(value.at("date").get<std::string>(), year, month, day))
        throw std::runtime_error("bad date");
    double date = 0;
    if (!CXDate::PartsToDate(year, month, day, 0, 0, 0, date)) throw std::runtime_error("date out of range");
    Check(tag.PutDate(kDate, date), "PutDate");
}

void PutPicture(CTagmill &tag, const json &value) {
    const std::vector<unsigned char> data = HexDecode(value.at("data").get<std::string>());
    auto picture = std::make_shared<CTagmill::CPicture>();
    Check(picture->SetAll(data.data(), static_cast<long>(data.size()), Text(value, "mime")), "SetAll");
    Check(tag.PutBinary(kPicture, {picture}), "PutBinary");
}

void PutMusicId(CTagmill &tag, const json &value) {
    const std::vector<unsigned char> data = HexDecode(value.at("data").get<std::string>());
    auto id = std::make_shared<CTagmill::CMusicId>();
    Check(id->SetOwnerId(value.at("owner").get<std::string>()), "SetOwnerId");
    Check(id->SetData(data.data(), static_cast<long>(data.size())), "SetData");
    Check(tag.PutMusicId({id}), "PutMusicId");
}

void PutObject(CTagmill &tag, const json &value) {
    const std::vector<unsigned char> data = HexDecode(value.at("data").get<std::string>());
    auto object = std::make_shared<CTagmill::CGeob>();
    Check(object->SetDescription(Text(value, "description")), "SetDescription");
    Check(object->SetMimeType(value.at("mime").get<std::string>()), "SetMimeType");
    Check(object->SetData(data.data(), static_cast<long>(data.size())), "SetData");
    Check(tag.PutGeob(kObject, {object}), "PutGeob");
}

void PutUserString(CTagmill &tag, long propertyId, const json &value) {
    auto record = std::make_shared<CTagmill::CUserDefinedString>();
    Check(record->SetDescription(Text(value, "description")), "SetDescription");
    Check(record->SetData(Text(value, "text")), "SetData");
    if (value.contains("lang")) {
        const std::string lang = value.at("lang").get<std::string>();
        if (lang.size() != 3) throw std::runtime_error("language must have 3 bytes");
        Check(record->SetLanguage(reinterpret_cast<const unsigned char *>(lang.data())), "SetLanguage");
    }
    Check(tag.PutUserDefinedString(propertyId, {record}), "PutUserDefinedString");
}

void Put(CTagmill &tag, const std::string &field, const json &value) {
    if (const long id = StringField(field)) {
        const char *key = field == "url" ? "url" : "text";
        Check(tag.PutString(id, {Text(value, key)}), "PutString");
    } else if (field == "date") {
        PutDate(tag, value);
    } else if (field == "picture") {
        PutPicture(tag, value);
    } else if (field == "musicid") {
        PutMusicId(tag, value);
    } else if (field == "object") {
        PutObject(tag, value);
    } else if (field == "txxx") {
        PutUserString(tag, kExtData, value);
    } else if (field == "comm") {
        PutUserString(tag, kEncoderDelay, value);
    } else {
        throw std::runtime_error("unknown field " + field);
    }
}

} // namespace

void TagmillWrite(const json &job) {
    CTagmill tag;
    Check(tag.Open(tool::Widen(job.at("path").get<std::string>()), 2), "Open");
    // Destroying the object without Close drops the edit when a put fails.
    Put(tag, job.at("field").get<std::string>(), job.at("value"));
    Check(tag.Close(), "Close");
}

} // namespace interop
