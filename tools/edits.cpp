// Edit options: registration, checking and application. The date is written
// at midnight (tags keep days, not times); a year alone keeps the month and
// day the tag already has.
#include "edits.h"

#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>

#include "file_io.h"
#include "image_type.h"
#include "records.h"
#include "utf8.h"

namespace tool {

namespace {

bool AllDigits(const std::string &text, size_t from, size_t count) {
    for (size_t i = from; i < from + count; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return false;
    return true;
}

bool Usage(const char *command, const std::string &message) {
    std::cerr << "tagmill " << command << ": " << message << '\n';
    return false;
}

bool PlanStrings(const char *command, const EditOptions &options, EditPlan &plan) {
    const std::set<std::string> removed(options.removals.begin(), options.removals.end());
    const auto &all = StringProperties();
    for (size_t i = 0; i < all.size(); ++i) {
        const bool toRemove = removed.count(all[i].name) != 0;
        const std::vector<std::string> &given = options.values[i];
        if (toRemove && !given.empty())
            return Usage(command, OptionName(all[i]) + " and --remove " + all[i].name + " contradict each other");
        if (!toRemove && given.empty()) continue;
        std::vector<std::wstring> wide;
        for (const std::string &value : given) wide.push_back(Widen(value));
        plan.strings.emplace_back(&all[i], std::move(wide));
    }
    return true;
}

bool PlanDate(const char *command, const EditOptions &options, EditPlan &plan) {
    const bool removeDate =
        std::find(options.removals.begin(), options.removals.end(), "date") != options.removals.end();
    const int given = !options.date.empty() + !options.year.empty() + removeDate;
    if (given > 1) return Usage(command, "give only one of --date, --year and --remove date");
    if (removeDate) plan.date = kNoDate;
    if (!options.date.empty()) {
        plan.date = ParseIsoDate(options.date);
        if (!plan.date)
            return Usage(command, "--date wants a day from 1000-01-01 on as YYYY-MM-DD, not \"" + options.date +
                                      "\"");
    }
    if (!options.year.empty()) {
        const std::string &y = options.year;
        if (y.size() != 4 || !AllDigits(y, 0, 4) || y[0] == '0')
            return Usage(command, "--year wants four digits from 1000 to 9999, not \"" + y + "\"");
        plan.year = Widen(y);
    }
    return true;
}

bool PlanPicture(const char *command, const EditOptions &options, EditPlan &plan) {
    plan.removePicture = options.removePicture;
    if (options.picture.empty()) return true;
    if (options.removePicture) return Usage(command, "--picture and --remove-picture contradict each other");
    std::string error;
    plan.picture = LoadPicture(options.picture, error);
    return plan.picture ? true : Usage(command, error);
}

long PutPicture(CTagmill &tag, const EditPlan &plan) {
    std::vector<std::shared_ptr<CTagmill::CPicture>> pictures;
    if (plan.picture) {
        // A record per file: the tag object keeps it in its cache.
        auto record = std::make_shared<CTagmill::CPicture>();
        const long hr = record->SetAll(plan.picture->bytes.data(), static_cast<long>(plan.picture->bytes.size()),
                                       Widen(plan.picture->mime));
        if (tagmill::Failed(hr)) return hr;
        pictures.push_back(record);
    }
    return tag.PutBinary(kPictureProperty, pictures);
}

} // namespace

void AddEditOptions(CLI::App &app, EditOptions &options, bool removals) {
    const auto &all = StringProperties();
    options.values.resize(all.size());
    std::vector<std::string> removable;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!all[i].settable) continue;
        removable.push_back(all[i].name);
        app.add_option(OptionName(all[i]), options.values[i], all[i].description)
            ->type_name("TEXT")
            ->expected(1)
            ->allow_extra_args(false)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->group("Properties");
    }
    app.add_option("--date", options.date, "Release date, e.g. 2019-05-03 (also sets the year)")
        ->type_name("YYYY-MM-DD")
        ->group("Properties");
    app.add_option("--year", options.year, "Release year; keeps the month and day the tag has")
        ->type_name("YYYY")
        ->group("Properties");
    app.add_option("--picture", options.picture,
                   "Attach a picture (front cover) from a JPEG, PNG, GIF or WebP file, replacing the one there")
        ->type_name("FILE")
        ->group("Properties");
    if (!removals) return;
    AddRecordOptions(app, options.records);
    removable.push_back("date");
    app.add_flag("--remove-picture", options.removePicture, "Remove the picture")->group("Properties");
    app.add_option("--remove", options.removals,
                   "Remove a property (repeatable), e.g. --remove genre; --remove date removes date and year")
        ->type_name("NAME")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::IsMember(removable))
        ->group("Properties");
}

std::shared_ptr<const Picture> LoadPicture(const std::string &path, std::string &error) {
    auto picture = std::make_shared<Picture>();
    if (!ReadBytes(path, picture->bytes, error)) {
        error = "cannot read the picture " + path + ": " + error;
        return nullptr;
    }
    const char *mime = ImageMimeType(picture->bytes);
    if (!mime) {
        error = path + " is not a JPEG, PNG, GIF or WebP image (judged by its first bytes)";
        return nullptr;
    }
    picture->mime = mime;
    return picture;
}

std::optional<double> ParseIsoDate(const std::string &text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !AllDigits(text, 0, 4) || !AllDigits(text, 5, 2) ||
        !AllDigits(text, 8, 2))
        return std::nullopt;
    const int year = std::stoi(text.substr(0, 4));
    const int month = std::stoi(text.substr(5, 2));
    const int day = std::stoi(text.substr(8, 2));
    double date = 0;
    if (year < 1000 || !CXDate::PartsToDate(static_cast<uint16_t>(year), static_cast<uint16_t>(month),
                                            static_cast<uint16_t>(day), 0, 0, 0, date))
        return std::nullopt;
    return date;
}

bool EditOptionsGiven(const EditOptions &o) {
    for (const auto &values : o.values)
        if (!values.empty()) return true;
    const RecordOptions &r = o.records;
    return !o.removals.empty() || !o.date.empty() || !o.year.empty() || !o.picture.empty() || o.removePicture ||
           !r.userStrings.empty() || !r.comments.empty() || !r.objects.empty() || !r.musicId.empty() ||
           !r.removeUserStrings.empty() || !r.removeComments.empty() || !r.removeObjects.empty() || r.removeMusicId;
}

bool PlanEdits(const char *command, const EditOptions &options, EditPlan &plan) {
    plan = EditPlan{};
    if (!PlanStrings(command, options, plan) || !PlanDate(command, options, plan) ||
        !PlanPicture(command, options, plan))
        return false;
    std::string message;
    if (!PlanRecordEdits(options.records, plan.records, message)) return Usage(command, message);
    if (plan.Empty())
        return Usage(command, std::string("nothing to change; give a property option") +
                                  " (see tagmill " + command + " --help)");
    return true;
}

bool ApplyEdits(CTagmill &tag, const EditPlan &plan, Failure &failure) {
    for (const auto &change : plan.strings) {
        const long hr = tag.PutString(change.first->id, change.second);
        if (tagmill::Failed(hr)) {
            failure = {std::string("cannot set ") + change.first->name + "; nothing written", hr};
            return false;
        }
    }
    if (plan.date) {
        double date = *plan.date;
        const long hr = tag.PutDate(kDateProperty, date);
        if (tagmill::Failed(hr)) {
            failure = {"cannot set the date; nothing written", hr};
            return false;
        }
    }
    if (plan.year) {
        const long hr = tag.PutYearString(*plan.year);
        if (tagmill::Failed(hr)) {
            failure = {"cannot set the year; nothing written", hr};
            return false;
        }
    }
    if (plan.picture || plan.removePicture) {
        const long hr = PutPicture(tag, plan);
        if (tagmill::Failed(hr)) {
            failure = {"cannot set the picture; nothing written", hr};
            return false;
        }
    }
    for (const RecordEdit &edit : plan.records) {
        const long hr = PutRecordEdit(tag, edit);
        if (tagmill::Failed(hr)) {
            failure = {"cannot " + std::string(edit.remove ? "remove " : "set ") + DescribeRecord(edit.property) +
                           "; nothing written", hr};
            return false;
        }
    }
    return true;
}

} // namespace tool
