// Text and JSON output. Text blocks start with the file name on its own line and
// indent their rows by two spaces; absent properties are left out in both forms.
#include "output.h"

#include <algorithm>
#include <iomanip>
#include <string>
#include <vector>

#include "genres.h"

namespace tool {

namespace {

// Names of the header flags that are set, in header-record order.
std::vector<std::string> FlagNames(const tav_id3_v2_header &header) {
    std::vector<std::string> names;
    if (header.unsynchronisation) names.push_back("unsynchronisation");
    if (header.compression) names.push_back("compression");
    if (header.extended_header) names.push_back("extended_header");
    if (header.experimental) names.push_back("experimental");
    if (header.footer) names.push_back("footer");
    return names;
}

std::string Join(const std::vector<std::string> &parts, const char *separator) {
    std::string joined;
    for (const std::string &part : parts) {
        if (!joined.empty()) joined += separator;
        joined += part;
    }
    return joined;
}

// Version for display: "2.3", or "unrecognised" for a header of another version.
std::string DisplayVersion(const Inspection &inspection) {
    const std::string version = VersionText(inspection.header.version);
    return version.empty() ? "unrecognised" : version;
}

void Row(std::ostream &out, const char *key, const std::string &value) {
    out << "  " << std::left << std::setw(10) << key << value << '\n';
}

} // namespace

void PrintInfo(std::ostream &out, const Inspection &in) {
    out << in.file << '\n';
    Row(out, "kind:", KindName(in.kind));
    if (in.hasV2) {
        Row(out, "ID3v2:", DisplayVersion(in));
        Row(out, "position:", std::to_string(in.header.position));
        Row(out, "size:", std::to_string(in.header.size) + " bytes after the 10-byte header");
        const auto flags = FlagNames(in.header);
        Row(out, "flags:", flags.empty() ? "none" : Join(flags, ", "));
    } else {
        Row(out, "ID3v2:", in.id3ChunkMissing ? "none (no ID3 chunk)" : "none");
    }
    Row(out, "ID3v1:", in.hasV1 ? "present" : "none");
}

Json InfoJson(const Inspection &in) {
    Json doc;
    doc["file"] = in.file;
    doc["kind"] = KindName(in.kind);
    if (in.hasV2) {
        const std::string version = VersionText(in.header.version);
        doc["id3v2"] = {
            {"version", version.empty() ? Json(nullptr) : Json(version)},
            {"position", in.header.position},
            {"size", in.header.size},
            {"flags", FlagNames(in.header)},
        };
    } else {
        doc["id3v2"] = nullptr;
    }
    doc["id3v1"] = in.hasV1;
    return doc;
}

namespace {

struct ShowRow {
    std::string name;
    std::string id; // empty for rows without an identifier of their own
    std::string value;
};

constexpr long kGenreProperty = 4616;

std::string Bytes(long size) { return std::to_string(size) + (size == 1 ? " byte" : " bytes"); }

// Music IDs run to 128 hex digits; the table shows their start.
std::string ShortHex(const std::string &hex) { return hex.size() > 16 ? hex.substr(0, 16) + "..." : hex; }

std::vector<ShowRow> ShowRows(const Inspection &in) {
    std::vector<ShowRow> rows;
    for (const auto &entry : in.strings)
        for (size_t i = 0; i < entry.second.size(); ++i)
            rows.push_back({i == 0 ? entry.first->name : "", i == 0 ? std::to_string(entry.first->id) : "",
                            entry.first->id == kGenreProperty ? GenreWithName(entry.second[i]) : entry.second[i]});
    const RecordInfo &r = in.records;
    if (r.date) rows.push_back({"date", std::to_string(kDateProperty), *r.date});
    if (r.year) rows.push_back({"year", "", *r.year});
    for (const PictureInfo &p : r.pictures)
        rows.push_back({"picture", std::to_string(kPictureProperty),
                        p.mime + ", " + Bytes(p.size) + ", sha1 " + p.sha1});
    if (r.musicId)
        rows.push_back({"music_id", std::to_string(kMusicIdProperty),
                        r.musicId->owner + ", id " + ShortHex(r.musicId->idHex)});
    for (const ObjectInfo &o : r.objects)
        rows.push_back({"object", std::to_string(o.property),
                        o.description + ", " + (o.mime.empty() ? "no MIME type" : o.mime) + ", " + Bytes(o.size)});
    for (const UserStringInfo &u : r.userStrings)
        rows.push_back({"user_string", std::to_string(u.property),
                        u.description + (u.language ? " [" + *u.language + "]" : "") + " = " + u.value});
    return rows;
}

} // namespace

void PrintShow(std::ostream &out, const Inspection &in) {
    out << in.file;
    if (in.hasV2) {
        const std::string version = VersionText(in.header.version);
        out << (version.empty() ? "  [ID3v2 unrecognised]" : "  [ID3v" + version + "]");
    }
    if (in.hasV1) out << "  [ID3v1]";
    out << '\n';
    const std::vector<ShowRow> rows = ShowRows(in);
    const std::string unlisted =
        in.unlistedFrames == 0 ? ""
                               : "  (" + std::to_string(in.unlistedFrames) +
                                     (in.unlistedFrames == 1 ? " frame" : " frames") +
                                     " not listed here; tagmill frames lists every frame)\n";
    if (rows.empty()) {
        out << "  (no properties)\n" << unlisted;
        return;
    }
    size_t width = 4;
    for (const ShowRow &row : rows) width = std::max(width, row.name.size());
    out << "  " << std::left << std::setw(static_cast<int>(width)) << "NAME" << "  " << std::right
        << std::setw(5) << "ID" << "  VALUE\n";
    for (const ShowRow &row : rows)
        out << "  " << std::left << std::setw(static_cast<int>(width)) << row.name << "  " << std::right
            << std::setw(5) << row.id << "  " << row.value << '\n';
    out << unlisted;
}

Json ShowJson(const Inspection &in) {
    Json doc;
    doc["file"] = in.file;
    const std::string version = in.hasV2 ? VersionText(in.header.version) : "";
    doc["version"] = version.empty() ? Json(nullptr) : Json(version);
    doc["strings"] = Json::object();
    for (const auto &entry : in.strings) doc["strings"][entry.first->name] = entry.second;

    const RecordInfo &r = in.records;
    doc["date"] = r.date ? Json(*r.date) : Json(nullptr);
    doc["year"] = r.year ? Json(*r.year) : Json(nullptr);
    doc["pictures"] = Json::array();
    for (const PictureInfo &p : r.pictures)
        doc["pictures"].push_back({{"mime", p.mime}, {"size", p.size}, {"sha1", p.sha1}});
    doc["music_id"] = r.musicId ? Json{{"owner", r.musicId->owner}, {"id_hex", r.musicId->idHex}} : Json(nullptr);
    doc["objects"] = Json::array();
    for (const ObjectInfo &o : r.objects)
        doc["objects"].push_back(
            {{"property", o.property}, {"description", o.description}, {"mime", o.mime}, {"size", o.size}});
    doc["user_strings"] = Json::array();
    for (const UserStringInfo &u : r.userStrings)
        doc["user_strings"].push_back({{"property", u.property},
                                       {"description", u.description},
                                       {"language", u.language ? Json(*u.language) : Json(nullptr)},
                                       {"value", u.value}});
    return doc;
}

std::string JsonElement(const Json &document) {
    std::string text = document.dump(2, ' ', false, Json::error_handler_t::replace);
    // Dumped strings never hold a raw line break, so every one starts a line.
    std::string indented = "  ";
    for (char c : text) {
        indented.push_back(c);
        if (c == '\n') indented += "  ";
    }
    return indented;
}

} // namespace tool
