// Record options: parsing of DESC=VALUE forms, the descriptions the library
// keeps, and the records handed to the tag object.
#include "record_edits.h"

#include <algorithm>
#include <set>

#include "file_io.h"
#include "records.h"
#include "utf8.h"

namespace tool {

namespace {

// "--object" and "X=Y" as "--object \"X=Y\"" for messages.
std::string Given(const char *option, const std::string &value) { return std::string(option) + " \"" + value + "\""; }

std::string Descriptions(const std::vector<RecordRow> &rows) {
    std::string list;
    for (const RecordRow &row : rows) list += (list.empty() ? "" : ", ") + std::string(row.description);
    return list;
}

const RecordRow *Row(const std::vector<RecordRow> &rows, const std::string &description) {
    auto it = std::find_if(rows.begin(), rows.end(), [&](const RecordRow &r) { return description == r.description; });
    return it == rows.end() ? nullptr : &*it;
}

// DESC=REST, with DESC one of the rows' descriptions.
bool SplitDescribed(const char *option, const std::string &value, const std::vector<RecordRow> &rows,
                    const RecordRow *&row, std::string &rest, std::string &message) {
    const size_t equals = value.find('=');
    if (equals == std::string::npos) {
        message = Given(option, value) + ": give DESCRIPTION=VALUE";
        return false;
    }
    row = Row(rows, value.substr(0, equals));
    if (!row) {
        message = Given(option, value) + ": the library keeps only the descriptions " + Descriptions(rows);
        return false;
    }
    rest = value.substr(equals + 1);
    return true;
}

bool PlanUserString(const std::string &value, std::vector<RecordEdit> &edits, std::string &message) {
    const RecordRow *row = nullptr;
    std::string text;
    if (!SplitDescribed("--user-string", value, UserStringRows(), row, text, message)) return false;
    RecordEdit edit;
    edit.property = row->property;
    edit.value = Widen(text);
    edits.push_back(edit);
    return true;
}

bool PlanComment(const std::string &value, std::vector<RecordEdit> &edits, std::string &message) {
    std::string described = value, language = "eng";
    if (value.size() > 4 && value[3] == ':' && value.find('=') > 3) {
        language = value.substr(0, 3);
        described = value.substr(4);
    }
    const RecordRow *row = nullptr;
    std::string text;
    if (!SplitDescribed("--comment", described, CommentRows(), row, text, message)) return false;
    RecordEdit edit;
    edit.property = row->property;
    edit.value = Widen(text);
    edit.language = language;
    edits.push_back(edit);
    return true;
}

bool PlanObject(const std::string &value, std::vector<RecordEdit> &edits, std::string &message) {
    const RecordRow *row = nullptr;
    std::string file;
    if (!SplitDescribed("--object", value, ObjectRows(), row, file, message)) return false;
    auto data = std::make_shared<std::vector<unsigned char>>();
    std::string error;
    if (!ReadBytes(file, *data, error)) {
        // FILE:MIME; the MIME type must be the one the library writes for the row.
        const size_t colon = file.rfind(':');
        const std::string mime = colon == std::string::npos ? "" : file.substr(colon + 1);
        if (colon == std::string::npos || !ReadBytes(file.substr(0, colon), *data, error)) {
            message = Given("--object", value) + ": cannot read " + file + ": " + error;
            return false;
        }
        if (mime != row->mime) {
            message = Given("--object", value) + ": " + row->description + " objects are written with the MIME type \"" +
                      row->mime + "\"";
            return false;
        }
    }
    RecordEdit edit;
    edit.property = row->property;
    edit.data = data;
    edits.push_back(edit);
    return true;
}

bool PlanMusicId(const std::string &value, std::vector<RecordEdit> &edits, std::string &message) {
    auto data = std::make_shared<std::vector<unsigned char>>();
    std::string error;
    if (!value.empty() && value[0] == '@') {
        if (!ReadBytes(value.substr(1), *data, error)) {
            message = Given("--music-id", value) + ": cannot read " + value.substr(1) + ": " + error;
            return false;
        }
        if (data->size() != static_cast<size_t>(CTagmill::CMusicId::DEF_DATA_SIZE)) {
            message = Given("--music-id", value) + ": a music ID is 64 bytes, the file has " +
                      std::to_string(data->size());
            return false;
        }
    } else if (!ParseMusicId(value, *data, error)) {
        message = Given("--music-id", value) + ": " + error;
        return false;
    }
    RecordEdit edit;
    edit.property = kMusicIdProperty;
    edit.data = data;
    edits.push_back(edit);
    return true;
}

bool PlanRemovals(const char *option, const std::vector<std::string> &descriptions,
                  const std::vector<RecordRow> &rows, std::vector<RecordEdit> &edits, std::string &message) {
    for (const std::string &description : descriptions) {
        const RecordRow *row = Row(rows, description);
        if (!row) {
            message = Given(option, description) + ": the library keeps only the descriptions " + Descriptions(rows);
            return false;
        }
        RecordEdit edit;
        edit.property = row->property;
        edit.remove = true;
        edits.push_back(edit);
    }
    return true;
}

} // namespace

void AddRecordOptions(CLI::App &app, RecordOptions &options) {
    auto repeatable = [&](const char *name, std::vector<std::string> &into, const std::string &help, const char *type) {
        app.add_option(name, into, help)
            ->type_name(type)
            ->expected(1)
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->group("Records");
    };
    repeatable("--user-string", options.userStrings,
               "Set a user-defined string (TXXX); the library keeps the description " +
                   Descriptions(UserStringRows()), "DESC=VALUE");
    repeatable("--comment", options.comments,
               "Set a comment (COMM) with a three-letter language (default eng); the library keeps the "
               "description " + Descriptions(CommentRows()), "[LANG:]DESC=TEXT");
    repeatable("--object", options.objects,
               "Set an encapsulated object (GEOB) from a file; descriptions: " + Descriptions(ObjectRows()),
               "DESC=FILE[:MIME]");
    app.add_option("--music-id", options.musicId, "Set the music ID (UFID): 128 hex digits, or @FILE of 64 bytes")
        ->type_name("HEX|@FILE")
        ->group("Records");
    repeatable("--remove-user-string", options.removeUserStrings, "Remove a user-defined string", "DESC");
    repeatable("--remove-comment", options.removeComments, "Remove a comment", "DESC");
    repeatable("--remove-object", options.removeObjects, "Remove an encapsulated object", "DESC");
    app.add_flag("--remove-music-id", options.removeMusicId, "Remove the music ID")->group("Records");
}

bool ParseMusicId(const std::string &hex, std::vector<unsigned char> &bytes, std::string &message) {
    const size_t wanted = 2 * static_cast<size_t>(CTagmill::CMusicId::DEF_DATA_SIZE);
    if (hex.size() != wanted || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        message = "a music ID is " + std::to_string(wanted) + " hex digits (64 bytes)";
        return false;
    }
    bytes.clear();
    for (size_t i = 0; i < hex.size(); i += 2) bytes.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return true;
}

bool PlanRecordEdits(const RecordOptions &options, std::vector<RecordEdit> &edits, std::string &message) {
    edits.clear();
    for (const std::string &v : options.userStrings) if (!PlanUserString(v, edits, message)) return false;
    for (const std::string &v : options.comments) if (!PlanComment(v, edits, message)) return false;
    for (const std::string &v : options.objects) if (!PlanObject(v, edits, message)) return false;
    if (!options.musicId.empty() && !PlanMusicId(options.musicId, edits, message)) return false;
    if (!PlanRemovals("--remove-user-string", options.removeUserStrings, UserStringRows(), edits, message) ||
        !PlanRemovals("--remove-comment", options.removeComments, CommentRows(), edits, message) ||
        !PlanRemovals("--remove-object", options.removeObjects, ObjectRows(), edits, message))
        return false;
    if (options.removeMusicId) {
        if (!options.musicId.empty()) {
            message = "--music-id and --remove-music-id contradict each other";
            return false;
        }
        RecordEdit edit;
        edit.property = kMusicIdProperty;
        edit.remove = true;
        edits.push_back(edit);
    }
    std::set<long> seen;
    for (const RecordEdit &edit : edits)
        if (!seen.insert(edit.property).second) {
            message = "two changes of " + DescribeRecord(edit.property) + "; give one";
            return false;
        }
    return true;
}

std::string DescribeRecord(long property) {
    if (property == kMusicIdProperty) return "the music ID";
    for (const RecordRow &row : ObjectRows())
        if (row.property == property) return std::string("the object ") + row.description;
    for (const RecordRow &row : CommentRows())
        if (row.property == property) return std::string("the comment ") + row.description;
    for (const RecordRow &row : UserStringRows())
        if (row.property == property) return std::string("the user-defined string ") + row.description;
    return "property " + std::to_string(property);
}

long PutRecordEdit(CTagmill &tag, const RecordEdit &edit) {
    if (edit.property == kMusicIdProperty) {
        std::vector<std::shared_ptr<CTagmill::CMusicId>> ids;
        if (!edit.remove) {
            auto id = std::make_shared<CTagmill::CMusicId>();
            long hr = id->SetData(edit.data->data(), static_cast<long>(edit.data->size()));
            if (tagmill::Succeeded(hr) && !edit.owner.empty()) hr = id->SetOwnerId(edit.owner);
            if (tagmill::Failed(hr)) return hr;
            ids.push_back(id);
        }
        return tag.PutMusicId(ids);
    }
    if (std::any_of(ObjectRows().begin(), ObjectRows().end(), [&](const RecordRow &r) { return r.property == edit.property; })) {
        std::vector<std::shared_ptr<CTagmill::CGeob>> objects;
        if (!edit.remove) {
            auto object = std::make_shared<CTagmill::CGeob>();
            static const unsigned char kNothing = 0;
            const long hr = object->SetData(edit.data->empty() ? &kNothing : edit.data->data(),
                                            static_cast<long>(edit.data->size()));
            if (tagmill::Failed(hr)) return hr;
            objects.push_back(object);
        }
        return tag.PutGeob(edit.property, objects);
    }
    std::vector<std::shared_ptr<CTagmill::CUserDefinedString>> strings;
    if (!edit.remove) {
        auto text = std::make_shared<CTagmill::CUserDefinedString>();
        long hr = text->SetData(edit.value);
        if (tagmill::Succeeded(hr) && edit.language.size() == 3)
            hr = text->SetLanguage(reinterpret_cast<const unsigned char *>(edit.language.data()));
        if (tagmill::Failed(hr)) return hr;
        strings.push_back(text);
    }
    return tag.PutUserDefinedString(edit.property, strings);
}

} // namespace tool
