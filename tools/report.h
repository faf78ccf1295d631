// How a per-file failure is told: the file, what went wrong and, when the library
// gave one, its result code in hex with its name and meaning.
#ifndef TAGMILL_TOOLS_REPORT_H
#define TAGMILL_TOOLS_REPORT_H

#include <ostream>
#include <string>

namespace tool {

struct Failure {
    std::string what; // "cannot open", "is a directory", ...
    long code = 0;    // library result code; 0 when the program found the problem itself
    // Short name under which the run's summary counts the failure ("directory",
    // "not audio"); null counts it under the result code's name, or "other".
    const char *kind = nullptr;
};

// The summary's name of a failure: its kind, else the result code's name.
std::string FailureKind(const Failure &failure);

// "FILE: WHAT: 0x80040412 E_FILE_NOT_FOUND (meaning)", without a program prefix.
std::string DescribeFailure(const std::string &file, const Failure &failure);

// "tagmill: FILE: WHAT: 0x80040412 E_FILE_NOT_FOUND (meaning)" on one line.
void ReportFailure(std::ostream &out, const std::string &file, const Failure &failure);

// "0x80040412" for a (sign-extended) result code.
std::string HexCode(long code);

} // namespace tool

#endif
