// Copying extended attributes (ACLs included) from one file to another, for
// the move that replaces a file by a new one.
#include "platform/xattrs.h"

#include <errno.h>
#include <sys/xattr.h>

#include <cstring>
#include <vector>

namespace {

// A list or value whose size is asked first and then read. Another process
// may let it grow in between (the read then fails with ERANGE): ask again.
template <typename Read>
bool ReadSized(const Read &read, std::vector<char> *out) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        ssize_t size = read(nullptr, 0);
        if (size < 0) return false;
        out->resize(static_cast<size_t>(size));
        if (size == 0) return true;
        size = read(out->data(), out->size());
        if (size >= 0) {
            out->resize(static_cast<size_t>(size));
            return true;
        }
        if (errno != ERANGE) return false;
    }
    return false;
}

} // namespace

void tav_copy_xattrs(const std::string &from, int to) {
    const char *path = from.c_str();
    std::vector<char> names, value;
    // The list is a run of names, each ended by a NUL.
    if (!ReadSized([path](char *b, size_t n) { return listxattr(path, b, n); }, &names) || names.empty() ||
        names.back() != '\0')
        return;
    for (size_t at = 0; at < names.size(); at += std::strlen(&names[at]) + 1) {
        const char *name = &names[at];
        if (ReadSized([path, name](char *b, size_t n) { return getxattr(path, name, b, n); }, &value))
            (void)fsetxattr(to, name, value.data(), value.size(), 0);
    }
}
