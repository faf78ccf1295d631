// Inspection as a batch task. Rendering happens on the worker thread too, so
// the main thread only prints.
#include "read_loop.h"

#include <sstream>

namespace tool {

namespace {

constexpr const char *kWithV2 = "with ID3v2";
constexpr const char *kWithV1 = "with ID3v1";

FileResult InspectFile(const InputFile &file, bool asJson, const Renderer &renderer) {
    FileResult result;
    Inspection inspection;
    Failure failure;
    if (!Inspect(file.path, renderer.withRecords, inspection, failure)) {
        result.failures.push_back(failure);
        return result;
    }
    if (asJson) {
        result.out = JsonElement(renderer.json(inspection));
    } else {
        std::ostringstream text;
        renderer.text(text, inspection);
        result.out = text.str();
    }
    if (inspection.hasV2) result.tallies.push_back(kWithV2);
    if (inspection.hasV1) result.tallies.push_back(kWithV1);
    return result;
}

} // namespace

int InspectEach(const char *command, const BatchFlags &flags, bool asJson, const Renderer &renderer) {
    BatchSetup setup;
    setup.command = command;
    setup.jsonArray = asJson;
    setup.blankLineBetween = true;
    setup.tallyOrder = {kWithV2, kWithV1};
    return RunBatch(flags, setup, [&](const InputFile &file, size_t) { return InspectFile(file, asJson, renderer); });
}

} // namespace tool
