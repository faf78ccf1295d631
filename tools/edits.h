// The changes `set` and `build-tag` make to a tag: string properties, the
// release date or its year, and the picture. Options are registered on a
// sub-command, checked once before any file is touched (a bad date or an
// unreadable picture is a usage error), then applied to each open tag object.
#ifndef TAGMILL_TOOLS_EDITS_H
#define TAGMILL_TOOLS_EDITS_H

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <tagmill/tagmill.h>

#include "properties.h"
#include "record_edits.h"
#include "report.h"

namespace tool {

struct EditOptions {
    // Values given per string property, indexed like StringProperties().
    std::vector<std::vector<std::string>> values;
    std::vector<std::string> removals; // property names, or "date"
    std::string date;                  // YYYY-MM-DD
    std::string year;                  // YYYY
    std::string picture;               // image file
    bool removePicture = false;
    RecordOptions records;             // `set` only
};

struct Picture {
    std::vector<unsigned char> bytes;
    std::string mime;
};

struct EditPlan {
    // One PutString each, in table order; an empty list removes the property.
    std::vector<std::pair<const Property *, std::vector<std::wstring>>> strings;
    std::optional<double> date; // the no-date value removes the date
    std::optional<std::wstring> year;
    std::shared_ptr<const Picture> picture;
    bool removePicture = false;
    std::vector<RecordEdit> records;

    bool Empty() const { return strings.empty() && !date && !year && !picture && !removePicture && records.empty(); }
};

// Registers one option per settable string property plus --date, --year and
// --picture; with removals (`set`), also --remove NAME, --remove-picture and
// the record options.
void AddEditOptions(CLI::App &app, EditOptions &options, bool removals);

// Whether any edit option was given at all.
bool EditOptionsGiven(const EditOptions &options);

// Checks the options and reads the picture. False after printing the problem,
// prefixed "tagmill COMMAND: ", on standard error.
bool PlanEdits(const char *command, const EditOptions &options, EditPlan &plan);

// Puts every change into the open tag. False with failure set at the first
// change the library refuses; the caller then drops the object unclosed, so
// nothing is written.
bool ApplyEdits(CTagmill &tag, const EditPlan &plan, Failure &failure);

// The picture in an image file, its MIME type judged by its first bytes; null
// with a message when it cannot be read or is not a known image.
std::shared_ptr<const Picture> LoadPicture(const std::string &path, std::string &error);

// The library's day count for "no date": putting it removes the date and year.
constexpr double kNoDate = -657434.0;

// YYYY-MM-DD to the library's day count; nothing for text of another shape,
// a day that does not exist, or a year before 1000 (which tags cannot hold).
std::optional<double> ParseIsoDate(const std::string &text);

} // namespace tool

#endif
