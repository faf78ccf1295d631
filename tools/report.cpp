// Failure lines on standard error. Codes are printed as the 32-bit values that
// the library documents, whatever the width of long.
#include "report.h"

#include <cstdint>
#include <cstdio>

#include <tagmill/result.h>

namespace tool {

std::string HexCode(long code) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "0x%08X", static_cast<unsigned>(static_cast<uint32_t>(code)));
    return buffer;
}

std::string DescribeFailure(const std::string &file, const Failure &failure) {
    std::string text = file + ": " + failure.what;
    if (failure.code != 0)
        text += ": " + HexCode(failure.code) + ' ' + tagmill::ResultName(failure.code) + " (" +
                tagmill::ResultMessage(failure.code) + ')';
    return text;
}

void ReportFailure(std::ostream &out, const std::string &file, const Failure &failure) {
    out << "tagmill: " << DescribeFailure(file, failure) << '\n';
}

std::string FailureKind(const Failure &failure) {
    if (failure.kind) return failure.kind;
    return failure.code != 0 ? tagmill::ResultName(failure.code) : "other";
}

} // namespace tool
