// `tagmill frames [--json] FILE... [-r DIR]`: every frame of the ID3v2 tag in
// tag order (ID, offset, size, flags and a decoded value), then the fields of
// the ID3v1 tag. Shows what the properties of `show` leave out.
#include <iomanip>
#include <memory>
#include <sstream>

#include "batch.h"
#include "commands.h"
#include "file_kind.h"
#include "frame_values.h"
#include "genres.h"
#include "inspect.h"
#include "output.h"
#include "tag_frames.h"
#include "utf8.h"

namespace tool {

namespace {

constexpr const char *kWithV2 = "with ID3v2";
constexpr const char *kWithV1 = "with ID3v1";

struct FramesOptions {
    BatchFlags batch;
    bool json = false;
};

// One 30-byte text field of the ID3v1 tag through the engine's getter.
template <typename Getter>
std::string V1Text(tav_id3_context &context, Getter get) {
    char buffer[31] = {};
    uint32_t length = 30;
    if (get(&context, buffer, &length) != TAV_OK) return "";
    return Latin1ToUtf8(std::string(buffer, length));
}

// The ID3v1 fields, or null without an ID3v1 tag.
Json V1Fields(tav_id3_context &context) {
    uint32_t genre = 0;
    if (tav_id3_v1_get_genre(&context, &genre) != TAV_OK) return nullptr;
    int32_t year = 0;
    tav_id3_v1_get_year(&context, &year);
    uint8_t track = 0;
    const bool hasTrack = tav_id3_v1_get_tracknumebr(&context, &track) == TAV_OK;
    Json v1 = {{"title", V1Text(context, tav_id3_v1_get_title)},
               {"artist", V1Text(context, tav_id3_v1_get_artist)},
               {"album", V1Text(context, tav_id3_v1_get_album)},
               {"year", year},
               {"track", hasTrack ? Json(track) : Json(nullptr)},
               {"genre", genre}};
    const char *name = GenreName(genre);
    v1["genre_name"] = name ? Json(name) : Json(nullptr);
    return v1;
}

struct Listing {
    Json doc;                        // the JSON form
    std::vector<std::string> values; // one-line values, in frame order
};

// False with failure set when nothing could be listed; a walk that failed
// part-way lists what it found and sets failure too.
bool List(const std::string &path, Listing &out, Failure &failure) {
    const FileKind kind = ClassifyFile(path);
    if (kind == FileKind::Directory || kind == FileKind::Unknown) {
        failure = kind == FileKind::Directory ? Failure{"is a directory, not an audio file", 0, "directory"}
                                              : Failure{"not an MP3 or AIFF file", 0, "not audio"};
        return false;
    }
    ReadContext context;
    const int32_t created = context.Open(path, kind == FileKind::Aiff);
    out.doc = {{"file", path}, {"version", nullptr}, {"frames", Json::array()}, {"id3v1", nullptr}};
    if (created == TAV_ERR_SEEK && kind == FileKind::Aiff) return true; // no "ID3 " chunk: no tag
    if (created != TAV_OK) {
        failure = {"cannot open (engine result " + std::to_string(created) + ")", 0, "cannot open"};
        return false;
    }
    TagFrames tag;
    const int32_t read = ReadTagFrames(context.get(), tag);
    if (read != TAV_OK && read != TAV_ERR_NOT_FOUND)
        failure = {"the frame walk stopped after " + std::to_string(tag.frames.size()) +
                       " frames (engine result " + std::to_string(read) + ")", 0, "unreadable tag"};
    if (read != TAV_ERR_NOT_FOUND) {
        const std::string version = VersionText(tag.header.version);
        out.doc["version"] = version.empty() ? Json("unrecognised") : Json(version);
    }
    for (const TagFrame &frame : tag.frames) {
        Json entry = {{"id", frame.id}, {"offset", frame.offset}, {"size", frame.size},
                      {"flags", FrameFlagNames(tag.major, frame.flags)}};
        FrameValue value;
        if (frame.opaque || !frame.readable) {
            value = DecodeFrame("", tag.major, frame.data);
            value.line = (frame.opaque ? "compressed or encrypted, " : "unreadable, ") + value.line;
        } else {
            value = DecodeFrame(frame.id, tag.major, frame.data);
        }
        if (frame.overruns) {
            entry["overruns"] = true;
            value.line += " (runs past the end of the tag)";
        }
        for (auto &field : value.fields.items()) entry[field.key()] = field.value();
        out.doc["frames"].push_back(entry);
        out.values.push_back(value.line);
    }
    out.doc["id3v1"] = V1Fields(context.get());
    return true;
}

void PrintListing(std::ostream &out, const Listing &listing) {
    const Json &doc = listing.doc;
    out << doc["file"].get<std::string>();
    if (!doc["version"].is_null()) out << "  [ID3v" << doc["version"].get<std::string>() << "]";
    if (!doc["id3v1"].is_null()) out << "  [ID3v1]";
    out << '\n';
    const Json &frames = doc["frames"];
    if (!frames.empty()) out << "  OFFSET  ID      SIZE  VALUE\n";
    for (size_t i = 0; i < frames.size(); ++i) {
        std::string flags;
        for (const auto &flag : frames[i]["flags"]) flags += (flags.empty() ? "" : ",") + flag.get<std::string>();
        out << "  " << std::right << std::setw(6) << frames[i]["offset"].get<uint32_t>() << "  " << std::left
            << std::setw(4) << frames[i]["id"].get<std::string>() << std::right << std::setw(8)
            << frames[i]["size"].get<uint32_t>() << "  " << (flags.empty() ? "" : "[" + flags + "] ")
            << listing.values[i] << '\n';
    }
    if (doc["version"].is_null()) out << "  (no ID3v2 tag)\n";
    const Json &v1 = doc["id3v1"];
    if (v1.is_null()) return;
    out << "  ID3v1: title \"" << v1["title"].get<std::string>() << "\", artist \""
        << v1["artist"].get<std::string>() << "\", album \"" << v1["album"].get<std::string>() << "\", year "
        << v1["year"].get<int>();
    if (!v1["track"].is_null()) out << ", track " << v1["track"].get<int>();
    out << ", genre " << v1["genre"].get<unsigned>();
    if (!v1["genre_name"].is_null()) out << " (" << v1["genre_name"].get<std::string>() << ")";
    out << '\n';
}

int RunFrames(const FramesOptions &options) {
    BatchSetup setup;
    setup.command = "frames";
    setup.jsonArray = options.json;
    setup.blankLineBetween = true;
    setup.tallyOrder = {kWithV2, kWithV1};
    return RunBatch(options.batch, setup, [&](const InputFile &file, size_t) {
        FileResult result;
        Listing listing;
        Failure failure;
        const bool listed = List(file.path, listing, failure);
        if (!failure.what.empty()) result.failures.push_back(failure);
        if (!listed) return result;
        if (options.json) {
            result.out = JsonElement(listing.doc);
        } else {
            std::ostringstream text;
            PrintListing(text, listing);
            result.out = text.str();
        }
        if (!listing.doc["version"].is_null()) result.tallies.push_back(kWithV2);
        if (!listing.doc["id3v1"].is_null()) result.tallies.push_back(kWithV1);
        return result;
    });
}

} // namespace

Command AddFramesCommand(CLI::App &program) {
    auto options = std::make_shared<FramesOptions>();
    CLI::App *app = program.add_subcommand(
        "frames", "List every frame of the ID3v2 tag in tag order (ID, offset, size, flags, decoded value), "
                  "then the ID3v1 fields");
    app->add_flag("--json", options->json,
                  "Print one JSON array with an object per file (keys: file, version, frames, id3v1)");
    app->add_option("files", options->batch.files, "Files to read");
    AddBatchOptions(*app, options->batch);
    return {app, [options] { return RunFrames(*options); }};
}

} // namespace tool
