// Comparing a document with the file key by key. Values are compared in the
// form `show --json` prints them (UTF-8 text, dates as YYYY-MM-DD, pictures by
// MIME type, size and digest, objects by description, MIME type and size), so
// a value copied from that output always compares equal. New picture and
// object bytes come from a "file" key next to the entry.
#include "json_edits.h"

#include <map>

#include "file_io.h"
#include "records.h"
#include "utf8.h"

namespace tool {

namespace {

using nlohmann::json;

struct Problem {
    std::string what;
};

bool Cleared(const json &value) { return value.is_null() || (value.is_array() && value.empty()) || value == ""; }

std::string Text(const json &value, const std::string &where) {
    if (!value.is_string()) throw Problem{where + ": a string is wanted"};
    return value.get<std::string>();
}

std::vector<std::string> Texts(const json &value, const std::string &where) {
    if (Cleared(value)) return {};
    if (!value.is_array()) throw Problem{where + ": a list of strings is wanted"};
    std::vector<std::string> texts;
    for (size_t i = 0; i < value.size(); ++i) texts.push_back(Text(value[i], where + "[" + std::to_string(i) + "]"));
    return texts;
}

// Text of the library's single-byte fields (owners, MIME types) from UTF-8.
std::string Latin1(const std::string &utf8) {
    std::string bytes;
    for (wchar_t c : Widen(utf8)) bytes.push_back(static_cast<char>(c <= 0xFF ? c : '?'));
    return bytes;
}

void PlanStrings(const json &strings, const Inspection &current, EditPlan &plan) {
    if (!strings.is_object() && !strings.is_null()) throw Problem{"strings: an object is wanted"};
    std::map<std::string, std::vector<std::string>> now;
    for (const auto &entry : current.strings) now[entry.first->name] = entry.second;
    for (const Property &property : StringProperties()) {
        const bool given = strings.is_object() && strings.contains(property.name);
        if (!given && !strings.is_null()) continue;
        const std::vector<std::string> wanted =
            given ? Texts(strings[property.name], std::string("strings.") + property.name) : std::vector<std::string>();
        if (wanted == now[property.name]) continue;
        if (!property.settable)
            throw Problem{std::string("strings.") + property.name + ": not writable as a string (see user_strings)"};
        std::vector<std::wstring> wide;
        for (const std::string &text : wanted) wide.push_back(Widen(text));
        plan.strings.emplace_back(&property, std::move(wide));
    }
    if (strings.is_object())
        for (const auto &item : strings.items())
            if (!FindProperty(item.key())) throw Problem{"strings." + item.key() + ": no such property"};
}

void PlanDate(const json &doc, const Inspection &current, EditPlan &plan) {
    const RecordInfo &now = current.records;
    if (doc.contains("date")) {
        const json &date = doc["date"];
        if (Cleared(date)) {
            if (now.date) plan.date = kNoDate;
        } else if (Text(date, "date") != now.date.value_or("")) {
            plan.date = ParseIsoDate(date.get<std::string>());
            if (!plan.date) throw Problem{"date: \"" + date.get<std::string>() + "\" is not a day as YYYY-MM-DD"};
        }
    }
    if (!doc.contains("year")) return;
    const json &year = doc["year"];
    if (Cleared(year)) {
        if (now.year && !plan.date) {
            if (now.date && !(doc.contains("date") && Cleared(doc["date"])))
                throw Problem{"year: a year is removed with the date (give null for both)"};
            plan.date = kNoDate;
        }
        return;
    }
    const std::string wanted = Text(year, "year");
    // A tag with a recording time but no year frame still has the date's year.
    const std::string nowYear = now.year ? *now.year : now.date ? now.date->substr(0, 4) : "";
    if (wanted == nowYear) return;
    if (plan.date) {
        if (*plan.date != kNoDate && doc["date"].get<std::string>().substr(0, 4) == wanted) return;
        throw Problem{"year: \"" + wanted + "\" disagrees with the date"};
    }
    if (wanted.size() != 4 || wanted.find_first_not_of("0123456789") != std::string::npos || wanted[0] == '0')
        throw Problem{"year: \"" + wanted + "\" is not four digits from 1000 to 9999"};
    plan.year = Widen(wanted);
}

void PlanPictures(const json &pictures, const Inspection &current, EditPlan &plan) {
    const std::vector<PictureInfo> &now = current.records.pictures;
    if (Cleared(pictures)) {
        plan.removePicture = !now.empty();
        return;
    }
    if (!pictures.is_array() || pictures.size() > 1) throw Problem{"pictures: a list of at most one picture is wanted"};
    const json &entry = pictures[0];
    if (entry.contains("file")) {
        std::string error;
        plan.picture = LoadPicture(Text(entry["file"], "pictures[0].file"), error);
        if (!plan.picture) throw Problem{"pictures[0]: " + error};
        return;
    }
    const bool same = !now.empty() && entry.value("mime", "") == now[0].mime && entry.value("size", -1L) == now[0].size &&
                      entry.value("sha1", "") == now[0].sha1;
    if (!same) throw Problem{"pictures[0]: give \"file\" to put a new picture"};
}

void PlanMusicId(const json &id, const Inspection &current, EditPlan &plan) {
    const std::optional<MusicIdInfo> &now = current.records.musicId;
    RecordEdit edit;
    edit.property = kMusicIdProperty;
    if (Cleared(id)) {
        edit.remove = true;
        if (now) plan.records.push_back(edit);
        return;
    }
    const std::string owner = Text(id.value("owner", json("")), "music_id.owner");
    const std::string hex = Text(id.value("id_hex", json("")), "music_id.id_hex");
    if (now && now->owner == owner && now->idHex == hex) return;
    auto bytes = std::make_shared<std::vector<unsigned char>>();
    std::string message;
    if (!ParseMusicId(hex, *bytes, message)) throw Problem{"music_id.id_hex: " + message};
    edit.data = bytes;
    edit.owner = Latin1(owner);
    plan.records.push_back(edit);
}

// The row an entry of "objects" or "user_strings" stands for: by its
// property, else by its description.
const RecordRow *RowOf(const json &entry, const std::vector<RecordRow> &rows, const std::string &where) {
    for (const RecordRow &row : rows)
        if (entry.value("property", 0L) == row.property ||
            (!entry.contains("property") && entry.value("description", "") == row.description))
            return &row;
    throw Problem{where + ": not a property the library writes"};
}

// Entries by property; several for one property are refused.
std::map<long, json> ByProperty(const json &list, const std::vector<RecordRow> &rows, const char *key) {
    std::map<long, json> entries;
    if (Cleared(list)) return entries;
    if (!list.is_array()) throw Problem{std::string(key) + ": a list is wanted"};
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string where = std::string(key) + "[" + std::to_string(i) + "]";
        if (!entries.emplace(RowOf(list[i], rows, where)->property, list[i]).second)
            throw Problem{where + ": a second entry for the same property"};
    }
    return entries;
}

// Goes through the rows: a row the document leaves out is removed when the file
// has it; the others go to planEntry with the file's current value (or null).
template <typename Info, typename PlanEntry>
void PlanRows(const std::vector<RecordRow> &rows, const std::vector<Info> &current, const std::map<long, json> &wanted,
              EditPlan &plan, PlanEntry planEntry) {
    for (const RecordRow &row : rows) {
        const Info *now = nullptr;
        for (const Info &info : current)
            if (info.property == row.property) now = &info;
        const auto entry = wanted.find(row.property);
        if (entry != wanted.end()) {
            planEntry(row, entry->second, now);
        } else if (now) {
            RecordEdit edit;
            edit.property = row.property;
            edit.remove = true;
            plan.records.push_back(edit);
        }
    }
}

void PlanObjects(const json &list, const Inspection &current, EditPlan &plan) {
    const auto planObject = [&](const RecordRow &row, const json &e, const ObjectInfo *now) {
        if (!e.contains("file")) {
            if (now && e.value("description", "") == now->description && e.value("mime", "") == now->mime &&
                e.value("size", -1L) == now->size)
                return;
            throw Problem{std::string("objects: give \"file\" for ") + row.description};
        }
        auto data = std::make_shared<std::vector<unsigned char>>();
        std::string error;
        const std::string file = Text(e["file"], std::string("objects: ") + row.description + " file");
        if (!ReadBytes(file, *data, error)) throw Problem{"objects: cannot read " + file + ": " + error};
        RecordEdit edit;
        edit.property = row.property;
        edit.data = data;
        plan.records.push_back(edit);
    };
    PlanRows(ObjectRows(), current.records.objects, ByProperty(list, ObjectRows(), "objects"), plan, planObject);
}

void PlanUserStrings(const json &list, const Inspection &current, EditPlan &plan) {
    std::vector<RecordRow> rows = UserStringRows();
    rows.insert(rows.end(), CommentRows().begin(), CommentRows().end());
    const auto planString = [&](const RecordRow &row, const json &e, const UserStringInfo *now) {
        const std::string value = Text(e.value("value", json("")), std::string("user_strings: ") + row.description);
        const json language = e.value("language", json(nullptr));
        const std::optional<std::string> lang =
            language.is_null() ? std::nullopt : std::optional<std::string>(Text(language, "language"));
        if (now && now->value == value && now->language == lang) return;
        const bool comment = row.property == CommentRows().front().property;
        if (comment && lang && lang->size() != 3)
            throw Problem{std::string("user_strings: ") + row.description + ": a language is three letters"};
        RecordEdit edit;
        edit.property = row.property;
        edit.value = Widen(value);
        edit.language = comment ? lang.value_or("eng") : "";
        plan.records.push_back(edit);
    };
    PlanRows(rows, current.records.userStrings, ByProperty(list, rows, "user_strings"), plan, planString);
}

} // namespace

bool PlanFromJson(const json &doc, const Inspection &current, EditPlan &plan, std::string &problem) {
    plan = EditPlan{};
    try {
        if (!doc.is_object()) throw Problem{"an object per file is wanted"};
        if (doc.contains("strings")) PlanStrings(doc["strings"], current, plan);
        PlanDate(doc, current, plan);
        if (doc.contains("pictures")) PlanPictures(doc["pictures"], current, plan);
        if (doc.contains("music_id")) PlanMusicId(doc["music_id"], current, plan);
        if (doc.contains("objects")) PlanObjects(doc["objects"], current, plan);
        if (doc.contains("user_strings")) PlanUserStrings(doc["user_strings"], current, plan);
    } catch (const Problem &p) {
        problem = p.what;
        return false;
    } catch (const json::exception &e) {
        problem = e.what();
        return false;
    }
    return true;
}

} // namespace tool
