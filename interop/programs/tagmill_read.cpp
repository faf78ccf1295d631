// Reads what the matrix compares from one file through CTagmill: the first
// value of each string property, the release date, the first picture, the
// music ID, the object and the two user-defined strings.
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <tagmill/tagmill.h>
#include <tagmill/task_memory.h>

#include "tagmill_peer.h"
#include "utf8.h"

namespace interop {

namespace {

const char *VersionName(long code) {
    switch (code) {
    case 0: return "2.2";
    case 1: return "2.3";
    case 2: return "2.4";
    default: return nullptr;
    }
}

void ReadStrings(CTagmill &tag, json &values) {
    const std::pair<const char *, long> fields[] = {{"title", kTitle}, {"artist", kArtist},
                                                    {"album", kAlbum}, {"track", kTrack},
                                                    {"disc", kDisc},   {"genre", kGenre},
                                                    {"url", kArtistUrl}};
    for (const auto &field : fields) {
        std::vector<std::wstring> found;
        if (tag.GetString(field.second, found) == tagmill::S_OK && !found.empty())
            values[field.first] = tool::Narrow(found.front());
    }
}

void ReadDate(CTagmill &tag, json &values) {
    double date = 0;
    DateParts parts{};
    if (tag.GetDate(kDate, date) != tagmill::S_OK || !CXDate::DateToParts(date, parts)) return;
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
    values["date"] = text;
}

void ReadPicture(CTagmill &tag, json &values) {
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    if (tag.GetBinary(kPicture, pictures) != tagmill::S_OK || pictures.empty()) return;
    const CTagmill::CPicture &picture = *pictures.front();
    std::vector<unsigned char> bytes(static_cast<size_t>(picture.Size()) + 1);
    unsigned char *data = bytes.data();
    long size = picture.Size();
    if (picture.GetData(&data, size) != tagmill::S_OK) return;
    values["picture"] = {{"mime", tool::Narrow(picture.Mime())}, {"data", HexEncode(bytes.data(), size)}};
}

void ReadMusicId(CTagmill &tag, json &values) {
    std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
    if (tag.GetMusicId(ids) != tagmill::S_OK || ids.empty()) return;
    std::string owner;
    unsigned char *data = nullptr;
    long size = 0;
    ids.front()->GetOwnerId(owner);
    if (ids.front()->GetData(&data, size) != tagmill::S_OK) return;
    values["musicid"] = {{"owner", owner}, {"data", HexEncode(data, size)}};
    CoTaskMemFree(data);
}

void ReadObject(CTagmill &tag, json &values) {
    std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
    if (tag.GetGeob(kObject, objects) != tagmill::S_OK || objects.empty()) return;
    std::wstring description;
    std::string mime;
    unsigned char *data = nullptr;
    long size = 0;
    objects.front()->GetDescription(description);
    objects.front()->GetMimeType(mime);
    if (objects.front()->GetData(&data, size) != tagmill::S_OK) return;
    values["object"] = {{"description", tool::Narrow(description)}, {"mime", mime},
                        {"data", HexEncode(data, size)}};
    CoTaskMemFree(data);
}

json UserString(const CTagmill::CUserDefinedString &record, bool withLanguage) {
    std::wstring description, text;
    record.GetDescription(description);
    record.GetData(text);
    json out = {{"description", tool::Narrow(description)}, {"text", tool::Narrow(text)}};
    if (withLanguage) {
        unsigned char language[3] = {0, 0, 0};
        record.GetLanguage(language);
        out["lang"] = std::string(reinterpret_cast<const char *>(language), 3);
    }
    return out;
}

void ReadUserStrings(CTagmill &tag, json &values) {
    std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
    if (tag.GetUserDefinedString(kExtData, strings) == tagmill::S_OK && !strings.empty())
        values["txxx"] = UserString(*strings.front(), false);
    strings.clear();
    if (tag.GetUserDefinedString(kEncoderDelay, strings) == tagmill::S_OK && !strings.empty())
        values["comm"] = UserString(*strings.front(), true);
}

} // namespace

json TagmillRead(const json &job) {
    CTagmill tag;
    const long hr = tag.Open(tool::Widen(job.at("path").get<std::string>()), 1);
    if (tagmill::Failed(hr)) throw std::runtime_error("open failed: " + std::string(tagmill::ResultName(hr)));
    json values = json::object();
    if (const char *version = VersionName(tag.TagVersion())) values["version"] = version;
    ReadStrings(tag, values);
    ReadDate(tag, values);
    ReadPicture(tag, values);
    ReadMusicId(tag, values);
    ReadObject(tag, values);
    ReadUserStrings(tag, values);
    tag.Close();
    return values;
}

} // namespace interop
