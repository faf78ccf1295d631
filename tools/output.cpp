// Text and JSON output. Text blocks start with the file name on its own line and
// indent their rows by two spaces; absent properties are left out in both forms.
#include "output.h"

#include <algorithm>
#include <iomanip>
#include <string>
#include <vector>

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

void PrintStrings(std::ostream &out, const Inspection &in) {
    out << in.file;
    if (in.hasV2) {
        const std::string version = VersionText(in.header.version);
        out << (version.empty() ? "  [ID3v2 unrecognised]" : "  [ID3v" + version + "]");
    }
    if (in.hasV1) out << "  [ID3v1]";
    out << '\n';
    if (in.strings.empty()) {
        out << "  (no string properties)\n";
        return;
    }
    size_t width = 4;
    for (const auto &entry : in.strings) width = std::max(width, std::string(entry.first->name).size());
    out << "  " << std::left << std::setw(static_cast<int>(width)) << "NAME" << "  " << std::right
        << std::setw(5) << "ID" << "  VALUE\n";
    for (const auto &entry : in.strings) {
        const std::vector<std::string> &values = entry.second;
        for (size_t i = 0; i < values.size(); ++i) {
            const std::string name = i == 0 ? entry.first->name : "";
            const std::string id = i == 0 ? std::to_string(entry.first->id) : "";
            out << "  " << std::left << std::setw(static_cast<int>(width)) << name << "  " << std::right
                << std::setw(5) << id << "  " << values[i] << '\n';
        }
    }
}

Json StringsJson(const Inspection &in) {
    Json doc;
    doc["file"] = in.file;
    const std::string version = in.hasV2 ? VersionText(in.header.version) : "";
    doc["version"] = version.empty() ? Json(nullptr) : Json(version);
    doc["strings"] = Json::object();
    for (const auto &entry : in.strings) doc["strings"][entry.first->name] = entry.second;
    return doc;
}

void PrintJson(std::ostream &out, const Json &document) {
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace tool
