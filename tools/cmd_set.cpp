// `tagmill set FILE... [--title T] ... [--remove NAME] [--no-v1]`: replace or
// remove string properties. Every change is staged in the library's edit
// transaction and written by Close; when any change fails the object is
// destroyed without Close, which drops the transaction, so the file keeps
// exactly what it held before.
#include <iostream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <tagmill/tagmill.h>

#include "commands.h"
#include "file_kind.h"
#include "properties.h"
#include "report.h"
#include "utf8.h"

namespace tool {

namespace {

struct SetOptions {
    std::vector<std::string> files;
    // Values given per settable property, indexed like StringProperties().
    std::vector<std::vector<std::string>> values;
    std::vector<std::string> removals;
    bool noV1 = false;
};

// One PutString: an empty list removes the property.
using Change = std::pair<const Property *, std::vector<std::wstring>>;

// The changes in table order. False (with a message) when a property is both
// set and removed.
bool CollectChanges(const SetOptions &options, std::vector<Change> &changes) {
    const std::set<std::string> removed(options.removals.begin(), options.removals.end());
    const auto &all = StringProperties();
    for (size_t i = 0; i < all.size(); ++i) {
        const bool toRemove = removed.count(all[i].name) != 0;
        const std::vector<std::string> &given = options.values[i];
        if (toRemove && !given.empty()) {
            std::cerr << "tagmill set: " << OptionName(all[i]) << " and --remove " << all[i].name
                      << " contradict each other\n";
            return false;
        }
        if (!toRemove && given.empty()) continue;
        std::vector<std::wstring> wide;
        for (const std::string &value : given) wide.push_back(Widen(value));
        changes.emplace_back(&all[i], std::move(wide));
    }
    if (changes.empty()) {
        std::cerr << "tagmill set: nothing to change; give a property option or --remove "
                     "(see tagmill set --help)\n";
        return false;
    }
    return true;
}

bool RefuseKind(FileKind kind, Failure &failure) {
    if (kind == FileKind::Directory) {
        failure = {"is a directory, not an audio file; nothing written", 0};
        return true;
    }
    if (kind == FileKind::Unknown) {
        failure = {"not an MP3 or AIFF file (no ID3 tag, no MPEG audio frames); nothing written", 0};
        return true;
    }
    return false;
}

bool ApplyChanges(const std::string &file, const std::vector<Change> &changes, bool updateV1,
                  Failure &failure) {
    const FileKind kind = ClassifyFile(file);
    if (RefuseKind(kind, failure)) return false;
    CTagmill tag;
    long hr = OpenByKind(tag, file, kind, 2, updateV1);
    if (tagmill::Failed(hr)) {
        failure = {"cannot open for writing", hr};
        return false;
    }
    for (const Change &change : changes) {
        hr = tag.PutString(change.first->id, change.second);
        if (tagmill::Failed(hr)) {
            // No Close: destroying the object drops the edit transaction.
            failure = {std::string("cannot set ") + change.first->name + "; nothing written", hr};
            return false;
        }
    }
    hr = tag.Close();
    if (tagmill::Failed(hr)) {
        failure = {"cannot write the changes", hr};
        return false;
    }
    return true;
}

int RunSet(const SetOptions &options) {
    std::vector<Change> changes;
    if (!CollectChanges(options, changes)) return kExitUsage;
    int status = kExitOk;
    for (const std::string &file : options.files) {
        Failure failure;
        if (!ApplyChanges(file, changes, !options.noV1, failure)) {
            ReportFailure(std::cerr, file, failure);
            status = kExitFileFailed;
        }
    }
    return status;
}

void AddPropertyOptions(CLI::App &app, SetOptions &options) {
    const auto &all = StringProperties();
    options.values.resize(all.size());
    std::vector<std::string> removable;
    for (size_t i = 0; i < all.size(); ++i) {
        if (!all[i].settable) continue;
        removable.push_back(all[i].name);
        app.add_option(OptionName(all[i]), options.values[i], all[i].description)
            ->type_name("TEXT")
            ->expected(1)
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
            ->group("Properties");
    }
    app.add_option("--remove", options.removals, "Remove a property (repeatable), e.g. --remove genre")
        ->type_name("NAME")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::IsMember(removable));
}

} // namespace

Command AddSetCommand(CLI::App &program) {
    auto options = std::make_shared<SetOptions>();
    CLI::App *app = program.add_subcommand(
        "set", "Replace or remove string properties. All changes to a file are written "
               "together, or not at all when one of them fails");
    app->add_option("files", options->files, "Files to change")->required();
    AddPropertyOptions(*app, *options);
    app->add_flag("--no-v1", options->noV1, "Leave the ID3v1 tag as it is");
    return {app, [options] { return RunSet(*options); }};
}

} // namespace tool
