// Staging files beside the file that they will replace: unnamed (O_TMPFILE)
// where the file system supports it and linked under a hidden unique name only
// when complete, else created under that name at once (mkostemp).
#include "platform/beside_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/random.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "platform/faults.h"

namespace {

// A file name is at most 255 bytes; the staging name adds ".", ".id3" and six
// unique characters to the base name, which is cut to fit.
const size_t kNameMax = 255;
const size_t kDecoration = 1 + 4 + 6;
const int kLinkAttempts = 100;

// The base name cut to leave room for the decoration, never inside a UTF-8
// sequence, so that the staging name stays valid text.
std::string FittedBase(const std::string &base) {
    size_t keep = base.size();
    if (keep + kDecoration <= kNameMax) return base;
    keep = kNameMax - kDecoration;
    while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
    return base.substr(0, keep);
}

std::string StagingPrefix(const std::string &directory, const std::string &base) {
    return directory + "/." + FittedBase(base) + ".id3";
}

// Six characters for a name of our own choosing (mkostemp picks its own).
std::string UniqueSuffix() {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != sizeof bits) {
        struct timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        bits = (static_cast<uint64_t>(now.tv_nsec) << 20) ^ static_cast<uint64_t>(now.tv_sec) ^
               (static_cast<uint64_t>(getpid()) << 40) ^ reinterpret_cast<uintptr_t>(&now);
    }
    std::string suffix(6, 'A');
    for (char &c : suffix) {
        c = kAlphabet[bits % 62];
        bits /= 62;
    }
    return suffix;
}

bool DirectoryRefuses(int err) { return err == EACCES || err == EPERM; }

tav_beside_result CreateUnnamed(const std::string &directory, tav_beside_file *file) {
    int fd;
    do {
        fd = open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd >= 0) {
        file->fd = fd;
        file->name.clear();
        return tav_beside_result::kCreated;
    }
    return DirectoryRefuses(errno) ? tav_beside_result::kDirectoryRefused : tav_beside_result::kFailed;
}

tav_beside_result CreateNamed(const std::string &directory, const std::string &base, tav_beside_file *file) {
    std::string name = StagingPrefix(directory, base) + "XXXXXX";
    int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0) return DirectoryRefuses(errno) ? tav_beside_result::kDirectoryRefused : tav_beside_result::kFailed;
    file->fd = fd;
    file->name = name;
    return tav_beside_result::kCreated;
}

// Links an open unnamed file under name: through /proc, which needs no
// privilege, or else by descriptor, which needs CAP_DAC_READ_SEARCH.
int LinkOpenFile(int fd, const std::string &name) {
    char proc[64];
    snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd);
    if (linkat(AT_FDCWD, proc, AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
    if (errno == EEXIST) return EEXIST;
    return linkat(fd, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

} // namespace

tav_beside_result tav_create_beside_file(const std::string &directory, const std::string &base,
                                         bool allow_unnamed, tav_beside_file *file) {
    if (tav_fault(TAV_OP_TEMP_NAME)) return tav_beside_result::kFailed;
    if (allow_unnamed) {
        tav_beside_result result = CreateUnnamed(directory, file);
        // Any other refusal is the file system's lack of unnamed files.
        if (result != tav_beside_result::kFailed) return result;
    }
    return CreateNamed(directory, base, file);
}

bool tav_name_beside_file(const std::string &directory, const std::string &base, tav_beside_file *file) {
    if (!file->name.empty()) return true;
    const std::string prefix = StagingPrefix(directory, base);
    for (int attempt = 0; attempt < kLinkAttempts; ++attempt) {
        std::string name = prefix + UniqueSuffix();
        int err = LinkOpenFile(file->fd, name);
        if (err == 0) {
            file->name = name;
            return true;
        }
        if (err != EEXIST) return false;
    }
    return false;
}

void tav_discard_beside_file(tav_beside_file *file) {
    if (file->fd >= 0) close(file->fd);
    file->fd = -1;
    if (!file->name.empty()) unlink(file->name.c_str());
    file->name.clear();
}
