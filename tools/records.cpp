// Reading the record-valued properties through the tag object's getters. The
// buffers that the music ID and object records hand out come from the task
// allocator and go back to it.
#include "records.h"

#include <cstdio>
#include <memory>

#include <tagmill/task_memory.h>

#include "sha1.h"
#include "utf8.h"

namespace tool {

namespace {

constexpr size_t kShortDigest = 12;

// A task-allocator block, released when it goes out of scope.
struct TaskBlock {
    unsigned char *data = nullptr;
    ~TaskBlock() { CoTaskMemFree(data); }
};

std::string Hex(const unsigned char *data, long size) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (long i = 0; i < size; ++i) {
        hex.push_back(kDigits[data[i] >> 4]);
        hex.push_back(kDigits[data[i] & 15]);
    }
    return hex;
}

// A getter's result: true to go on (read or absent), false with failure set.
bool Check(long hr, const char *what, Failure &failure) {
    if (hr == tagmill::E_PROPERTY_ABSENT || tagmill::Succeeded(hr)) return true;
    failure = {std::string("cannot read ") + what, hr};
    return false;
}

bool ReadDate(CTagmill &tag, RecordInfo &out, Failure &failure) {
    double date = 0;
    long hr = tag.GetDate(kDateProperty, date);
    if (!Check(hr, "the release date", failure)) return false;
    if (hr == tagmill::S_OK) out.date = IsoDate(date);
    std::wstring year;
    hr = tag.GetYearString(year);
    if (!Check(hr, "the year", failure)) return false;
    if (hr == tagmill::S_OK) out.year = Narrow(year);
    return true;
}

bool ReadPictures(CTagmill &tag, RecordInfo &out, Failure &failure) {
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    const long hr = tag.GetBinary(kPictureProperty, pictures);
    if (!Check(hr, "the pictures", failure)) return false;
    for (const auto &picture : pictures) {
        if (!picture) continue;
        std::vector<unsigned char> bytes(static_cast<size_t>(picture->Size() > 0 ? picture->Size() : 0));
        long size = static_cast<long>(bytes.size());
        unsigned char *data = bytes.data();
        if (size > 0 && tagmill::Failed(picture->GetData(&data, size))) size = 0;
        out.pictures.push_back({Narrow(picture->Mime()), size,
                                Sha1Hex(bytes.data(), static_cast<size_t>(size)).substr(0, kShortDigest)});
    }
    return true;
}

bool ReadMusicId(CTagmill &tag, RecordInfo &out, Failure &failure) {
    std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
    long hr = tag.GetMusicId(ids);
    if (!Check(hr, "the music ID", failure)) return false;
    if (ids.empty() || !ids.front()) return true;
    MusicIdInfo info;
    ids.front()->GetOwnerId(info.owner);
    TaskBlock block;
    long size = 0;
    hr = ids.front()->GetData(&block.data, size);
    if (!Check(hr, "the music ID", failure)) return false;
    if (block.data) info.idHex = Hex(block.data, size);
    info.owner = Latin1ToUtf8(info.owner);
    out.musicId = info;
    return true;
}

bool ReadObjects(CTagmill &tag, RecordInfo &out, Failure &failure) {
    for (long property : ObjectProperties()) {
        std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
        const long hr = tag.GetGeob(property, objects);
        if (!Check(hr, "an encapsulated object", failure)) return false;
        for (const auto &object : objects) {
            if (!object) continue;
            ObjectInfo info;
            info.property = property;
            std::wstring description;
            object->GetDescription(description);
            info.description = Narrow(description);
            std::string mime;
            object->GetMimeType(mime);
            info.mime = Latin1ToUtf8(mime);
            info.size = object->GetDataSize();
            out.objects.push_back(info);
        }
    }
    return true;
}

std::optional<std::string> LanguageText(const unsigned char language[3]) {
    std::wstring text;
    for (int i = 0; i < 3; ++i)
        if (language[i]) text.push_back(static_cast<wchar_t>(language[i]));
    if (text.empty()) return std::nullopt;
    return Narrow(text);
}

bool ReadUserStrings(CTagmill &tag, RecordInfo &out, Failure &failure) {
    for (long property : UserStringProperties()) {
        std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
        const long hr = tag.GetUserDefinedString(property, strings);
        if (!Check(hr, "a user-defined string", failure)) return false;
        for (const auto &record : strings) {
            if (!record) continue;
            UserStringInfo info;
            info.property = property;
            std::wstring text;
            record->GetDescription(text);
            info.description = Narrow(text);
            text.clear();
            record->GetData(text);
            info.value = Narrow(text);
            unsigned char language[3] = {0, 0, 0};
            record->GetLanguage(language);
            info.language = LanguageText(language);
            out.userStrings.push_back(info);
        }
    }
    return true;
}

} // namespace

const std::vector<long> &ObjectProperties() {
    static const std::vector<long> kIds = {5894, 5895, 8448, 4644, 8451};
    return kIds;
}

const std::vector<RecordRow> &ObjectRows() {
    static const std::vector<RecordRow> kRows = {{5894, "USR_MTDID", "binary"},
                                                 {5895, "USR_SMFMF", "application/SMFMF"},
                                                 {8448, "SfMarkers", ""},
                                                 {4644, "ImageLyrics", "image/jpeg"},
                                                 {8451, "IcdRInfo", ""}};
    return kRows;
}

const std::vector<RecordRow> &UserStringRows() {
    static const std::vector<RecordRow> kRows = {{4717, "GN_ExtData", ""}};
    return kRows;
}

const std::vector<RecordRow> &CommentRows() {
    static const std::vector<RecordRow> kRows = {{9233, "iTunSMPB", ""}};
    return kRows;
}

const std::vector<long> &UserStringProperties() {
    static const std::vector<long> kIds = {4717, 9233, 8960, 8961, 8962, 8963, 8964, 8965, 8966};
    return kIds;
}

std::optional<std::string> IsoDate(double date) {
    DateParts parts{};
    if (!CXDate::DateToParts(date, parts)) return std::nullopt;
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", static_cast<int>(parts.year), static_cast<int>(parts.month),
                  static_cast<int>(parts.day));
    return std::string(text);
}

bool ReadRecords(CTagmill &tag, RecordInfo &out, Failure &failure) {
    return ReadDate(tag, out, failure) && ReadPictures(tag, out, failure) && ReadMusicId(tag, out, failure) &&
           ReadObjects(tag, out, failure) && ReadUserStrings(tag, out, failure);
}

} // namespace tool
