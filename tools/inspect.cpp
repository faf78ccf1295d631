// Gathering what a file holds without changing it. The string values come from
// the tag object (open mode 1); the header details, which the object does not
// expose, come from a second, read-only engine context on the same file.
#include "inspect.h"

#include <tagmill/tagmill.h>

#include "tag_frames.h"
#include "utf8.h"

namespace tool {

namespace {

// Header and ID3v1 presence through the engine. Returns the engine's result of
// creating the context (TAV_ERR_SEEK for an AIFF form without an "ID3 " chunk).
int32_t ProbeTags(const std::string &path, bool aiff, Inspection &out) {
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
    tag.Close();
    if (!read) return false;
    const int32_t probed = ProbeTags(path, out.kind == FileKind::Aiff, out);
    if (probed != TAV_OK) {
        failure = {"cannot read the tag header (engine result " + std::to_string(probed) + ")", 0};
        return false;
    }
    return true;
}

} // namespace tool
