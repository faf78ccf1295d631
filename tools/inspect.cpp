// Gathering what a file holds without changing it. The string values come from
// the tag object (open mode 1); the header details, which the object does not
// expose, come from a second, read-only engine context on the same file.
#include "inspect.h"

#include <set>

#include <tagmill/tagmill.h>

#include "tag_frames.h"
#include "utf8.h"

namespace tool {

namespace {

// Where the data of each frame behind a shown property starts, as the library
// locates it: the first frame of a string property's ID, the frame whose
// description names an object or user-defined string, the first picture and
// unique file identifier.
std::set<uint32_t> ShownFrameData(CTagmill &tag, const Inspection &in) {
    std::vector<long> shown;
    for (const auto &entry : in.strings) shown.push_back(entry.first->id);
    const RecordInfo &r = in.records;
    if (!r.pictures.empty()) shown.push_back(kPictureProperty);
    if (r.musicId) shown.push_back(kMusicIdProperty);
    for (const ObjectInfo &o : r.objects) shown.push_back(o.property);
    for (const UserStringInfo &u : r.userStrings) shown.push_back(u.property);
    std::set<uint32_t> offsets;
    for (long id : shown) {
        long offset = 0, size = 0;
        if (tag.GetFrameOffset(id, offset, size) == tagmill::S_OK && offset > 0)
            offsets.insert(static_cast<uint32_t>(offset));
    }
    return offsets;
}

// Frames behind no shown property. The date and year come from the first
// frame of each date ID the library reads.
size_t CountUnlisted(const Inspection &in, const std::set<uint32_t> &shown, const TagFrames &tag) {
    static const std::set<std::string> kDateIds = {"TYE", "TDA", "TIM", "TYER", "TDAT", "TDRC"};
    const bool dated = in.records.date || in.records.year;
    std::set<std::string> datesSeen;
    size_t unlisted = 0;
    for (const TagFrame &frame : tag.frames) {
        if (shown.count(frame.dataOffset)) continue;
        if (dated && kDateIds.count(frame.id) && datesSeen.insert(frame.id).second) continue;
        ++unlisted;
    }
    return unlisted;
}

// Header and ID3v1 presence through the engine. Returns the engine's result of
// creating the context (TAV_ERR_SEEK for an AIFF form without an "ID3 " chunk).
// With shown (the data offsets of shown frames), also counts the others.
int32_t ProbeTags(const std::string &path, bool aiff, Inspection &out, const std::set<uint32_t> *shown = nullptr) {
    ReadContext context;
    const int32_t created = context.Open(path, aiff);
    if (created != TAV_OK) return created;
    tav_id3_v2_header header{};
    if (tav_id3_v2_get_header(&context.get(), &header) == TAV_OK) {
        out.hasV2 = true;
        out.header = header;
    }
    uint32_t genre = 0;
    out.hasV1 = tav_id3_v1_get_genre(&context.get(), &genre) == TAV_OK;
    TagFrames frames;
    if (shown && out.hasV2 && ReadTagFrames(context.get(), frames) != TAV_ERR_NOT_FOUND)
        out.unlistedFrames = CountUnlisted(out, *shown, frames);
    return TAV_OK;
}

bool ReadStrings(CTagmill &tag, Inspection &out, Failure &failure) {
    for (const Property &property : StringProperties()) {
        std::vector<std::wstring> values;
        const long hr = tag.GetString(property.id, values);
        if (hr == tagmill::E_PROPERTY_ABSENT) continue;
        if (tagmill::Failed(hr)) {
            failure = {std::string("cannot read ") + property.name, hr};
            return false;
        }
        std::vector<std::string> utf8;
        for (const std::wstring &value : values) utf8.push_back(Narrow(value));
        out.strings.emplace_back(&property, std::move(utf8));
    }
    return true;
}

} // namespace

std::string VersionText(long versionCode) {
    switch (versionCode) {
    case TAV_ID3_V22: return "2.2";
    case TAV_ID3_V23: return "2.3";
    case TAV_ID3_V24: return "2.4";
    default: return "";
    }
}

long OpenForReading(CTagmill &tag, const std::string &path, FileKind &kind, bool &noTag) {
    kind = ClassifyFile(path);
    noTag = false;
    const long hr = OpenByKind(tag, path, kind, 1);
    if (tagmill::Failed(hr) && kind == FileKind::Aiff) {
        Inspection probe;
        noTag = ProbeTags(path, true, probe) == TAV_ERR_SEEK;
    }
    return hr;
}

bool Inspect(const std::string &path, bool withRecords, Inspection &out, Failure &failure) {
    out = Inspection{};
    out.file = path;
    out.kind = ClassifyFile(path);
    if (out.kind == FileKind::Directory) {
        failure = {"is a directory, not an audio file", 0, "directory"};
        return false;
    }
    CTagmill tag;
    const long hr = OpenByKind(tag, path, out.kind, 1);
    if (tagmill::Failed(hr)) {
        // An AIFF form without an "ID3 " chunk simply has no tag yet.
        if (out.kind == FileKind::Aiff && ProbeTags(path, true, out) == TAV_ERR_SEEK) {
            out.id3ChunkMissing = true;
            return true;
        }
        failure = {"cannot open", hr};
        return false;
    }
    const bool read = ReadStrings(tag, out, failure) && (!withRecords || ReadRecords(tag, out.records, failure));
    const std::set<uint32_t> shown = read && withRecords ? ShownFrameData(tag, out) : std::set<uint32_t>();
    tag.Close();
    if (!read) return false;
    const int32_t probed = ProbeTags(path, out.kind == FileKind::Aiff, out, withRecords ? &shown : nullptr);
    if (probed != TAV_OK) {
        failure = {"cannot read the tag header (engine result " + std::to_string(probed) + ")", 0};
        return false;
    }
    return true;
}

} // namespace tool
