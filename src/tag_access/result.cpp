// Names and plain-language meanings of the class's result codes, for tools and
// log messages.
#include <cstdint>

#include "tagmill/result.h"

namespace tagmill {

namespace {

struct ResultText {
    long code;
    const char *name;
    const char *message;
};

const ResultText kResults[] = {
    {S_OK, "S_OK", "success"},
    {S_FALSE, "S_FALSE", "success, but there is nothing to report"},
    {E_POINTER, "E_POINTER", "a required pointer is null or the data is empty"},
    {E_FAIL, "E_FAIL", "the operation failed"},
    {E_UNEXPECTED, "E_UNEXPECTED", "no content is open"},
    {E_INVALIDARG, "E_INVALIDARG", "an argument is invalid"},
    {E_OUTOFMEMORY, "E_OUTOFMEMORY", "out of memory"},
    {E_FILE_NOT_FOUND, "E_FILE_NOT_FOUND", "the file does not exist"},
    {E_OPEN_FAILED, "E_OPEN_FAILED", "a content is already open, or the file could not be opened"},
    {E_PROPERTY_ABSENT, "E_PROPERTY_ABSENT", "the property is absent"},
    {E_PROPERTY_UNSUPPORTED, "E_PROPERTY_UNSUPPORTED", "the property is not supported here"},
};

// Codes may arrive zero-extended (0x80004005 as a positive long); compare them
// as 32-bit values.
const ResultText *Find(long hr) {
    const int32_t code = static_cast<int32_t>(static_cast<uint32_t>(hr));
    for (const ResultText &r : kResults)
        if (r.code == code) return &r;
    return nullptr;
}

} // namespace

const char *ResultName(long hr) {
    const ResultText *r = Find(hr);
    return r ? r->name : "unknown";
}

const char *ResultMessage(long hr) {
    const ResultText *r = Find(hr);
    return r ? r->message : "unknown result";
}

} // namespace tagmill
