// The job protocol shared by the small reader/writer programs that the
// interoperability driver runs: a JSON array of jobs on standard input, a JSON
// array of results (same order) on standard output.
#ifndef TAGMILL_INTEROP_PEER_IO_H
#define TAGMILL_INTEROP_PEER_IO_H

#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace interop {

using json = nlohmann::json;

// A read job gives {"path"}; it answers the values found, keyed by field
// ("title", "date", "picture", ...), absent fields left out.
using ReadFn = std::function<json(const json &job)>;
// A write job gives {"path", "version", "field", "value"}; it throws
// std::runtime_error with a reason when the value cannot be written.
using WriteFn = std::function<void(const json &job)>;

// Runs every job of the array on standard input. A job that throws yields
// {"ok": false, "error": reason}; the others {"ok": true[, "values": ...]}.
int RunJobs(const ReadFn &read, const WriteFn &write);

std::string HexEncode(const unsigned char *data, size_t size);
std::vector<unsigned char> HexDecode(const std::string &hex);

// "2019-05-03" -> 2019, 5, 3; false unless the text is exactly that form.
bool ParseIsoDate(const std::string &text, int &year, int &month, int &day);

} // namespace interop

#endif
