// Per-file loop of `info` and `show`. Text blocks are separated by a blank line;
// JSON output is a single array printed at the end, so it stays one document
// even when some files fail.
#include "read_loop.h"

#include <iostream>

#include "commands.h"

namespace tool {

int InspectEach(const std::vector<std::string> &files, bool asJson, const Renderer &renderer) {
    int status = kExitOk;
    Json documents = Json::array();
    bool first = true;
    for (const std::string &file : files) {
        Inspection inspection;
        Failure failure;
        if (!Inspect(file, inspection, failure)) {
            ReportFailure(std::cerr, file, failure);
            status = kExitFileFailed;
            continue;
        }
        if (asJson) {
            documents.push_back(renderer.json(inspection));
        } else {
            if (!first) std::cout << '\n';
            renderer.text(std::cout, inspection);
        }
        first = false;
    }
    if (asJson) PrintJson(std::cout, documents);
    return status;
}

} // namespace tool
