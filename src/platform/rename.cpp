// Moving a file over another (tav_rename) so that the destination is replaced
// whole or not at all, even if the process dies part-way:
//  - on one file system, the source is flushed to disk and renamed over the
//    destination;
//  - across file systems (rare: the engine makes its temporary file beside
//    the destination), the source is copied into a staging file beside the
//    destination, flushed, and that is renamed over the destination; then
//    the source goes.
// The replacement takes over the destination's permission bits, and its owner
// and extended attributes (ACLs among them) where this process may set them.
// A destination reached through a symbolic link is replaced at the link's
// target, so the link stays a link. Only when the directory lets this process
// add no file does the move fall back to writing the bytes over the
// destination in place.
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/beside_file.h"
#include "platform/descriptors.h"
#include "platform/faults.h"
#include "platform/file_copy.h"
#include "platform/paths.h"
#include "platform/xattrs.h"
#include "tagmill/platform.h"

namespace {

enum class Step { kDone, kFailed, kOtherDevice, kDirectoryRefused };

struct Target {
    std::string path;      // the destination, symbolic links resolved
    std::string directory; // the directory that holds it
    std::string base;      // its last component
    bool existed = false;
    struct stat st;        // its status, when it existed
};

// Only a regular file (or no file yet) can be replaced.
bool ResolveTarget(const std::string &destination, Target *t) {
    t->path = tav_resolve_links(destination);
    tav_split_path(t->path, &t->directory, &t->base);
    if (t->base.empty()) return false;
    t->existed = stat(t->path.c_str(), &t->st) == 0;
    return !t->existed || S_ISREG(t->st.st_mode);
}

bool OnDevice(const std::string &directory, dev_t device) {
    struct stat st;
    return stat(directory.c_str(), &st) == 0 && st.st_dev == device;
}

// Gives fd the owner and permission bits of `like`, and the extended
// attributes of the file at `attributes_of` when there is one. Best effort: a
// file system without owners, modes or attributes (FAT, some network shares)
// refuses, and that must not stop the move. The owner goes first, since
// changing it can clear the set-ID bits (and a file capability); the mode
// last, so that it is the old file's even where an ACL set before it moved
// the group bits.
void AdoptAttributes(int fd, const struct stat &like, const char *attributes_of) {
    struct stat own;
    if (fstat(fd, &own) != 0) return;
    if (own.st_uid != like.st_uid || own.st_gid != like.st_gid) {
        if (fchown(fd, like.st_uid, like.st_gid) != 0 && own.st_gid != like.st_gid) {
            // Not allowed to give the file away; the group may still be ours.
            (void)fchown(fd, static_cast<uid_t>(-1), like.st_gid);
        }
    }
    if (attributes_of) tav_copy_xattrs(attributes_of, fd);
    (void)fchmod(fd, like.st_mode & 07777);
}

Step RenameFailure(int err) {
    if (err == EXDEV) return Step::kOtherDevice;
    if (err == EACCES || err == EPERM) return Step::kDirectoryRefused;
    return Step::kFailed;
}

// Same file system: flush the source's data first, so that the name never
// points at a file whose blocks were not yet written, then rename.
Step MoveWithin(const std::string &from, const Target &t) {
    int fd = tav_open_descriptor(from, O_RDONLY, 0);
    if (fd < 0) return Step::kFailed;
    bool flushed = tav_flush_descriptor(fd);
    if (flushed && t.existed) AdoptAttributes(fd, t.st, t.path.c_str());
    close(fd);
    if (!flushed || tav_fault(TAV_OP_RENAME)) return Step::kFailed;
    if (rename(from.c_str(), t.path.c_str()) != 0) return RenameFailure(errno);
    tav_flush_directory(t.directory.c_str());
    return Step::kDone;
}

bool CloseChecked(int *fd) {
    bool refused = tav_fault(TAV_OP_CLOSE);
    int rc = close(*fd);
    *fd = -1;
    return !refused && rc == 0;
}

// Fills a staging file beside the destination, makes it durable and renames
// it over the destination. Whatever fails, the staging file is gone after.
// An unnamed staging file must be linked under a name before the rename, so a
// process killed between those two calls leaves a complete hidden copy of the
// new file beside the untouched destination; nothing dies half-written.
Step StageAndReplace(int from, const struct stat &source, const Target &t, bool allow_unnamed) {
    tav_beside_file staged;
    switch (tav_create_beside_file(t.directory, t.base, allow_unnamed, &staged)) {
    case tav_beside_result::kCreated: break;
    case tav_beside_result::kDirectoryRefused: return Step::kDirectoryRefused;
    case tav_beside_result::kFailed: return Step::kFailed;
    }
    off_t copied = 0;
    bool ok = tav_copy_descriptor(from, staged.fd, &copied);
    // After the copy: writing to a file can clear its set-ID bits.
    if (ok) AdoptAttributes(staged.fd, t.existed ? t.st : source, t.existed ? t.path.c_str() : nullptr);
    ok = ok && tav_flush_descriptor(staged.fd);
    if (ok && !tav_name_beside_file(t.directory, t.base, &staged)) {
        // No way to name an unnamed file here: start over with a named one.
        tav_discard_beside_file(&staged);
        return allow_unnamed ? StageAndReplace(from, source, t, false) : Step::kFailed;
    }
    ok = ok && CloseChecked(&staged.fd) && !tav_fault(TAV_OP_RENAME) &&
         rename(staged.name.c_str(), t.path.c_str()) == 0;
    if (!ok) {
        tav_discard_beside_file(&staged);
        return Step::kFailed;
    }
    tav_flush_directory(t.directory.c_str());
    return Step::kDone;
}

// The last resort, for a directory that refuses new files: the destination's
// own blocks are overwritten and the file cut to the new length. A failure
// part-way leaves it damaged, which no other way of writing could avoid here.
Step OverwriteInPlace(int from, const Target &t) {
    if (!t.existed) return Step::kFailed;
    int to = tav_open_descriptor(t.path, O_WRONLY, 0);
    if (to < 0) return Step::kFailed;
    off_t copied = 0;
    bool ok = tav_copy_descriptor(from, to, &copied) && !tav_fault(TAV_OP_TRUNCATE) &&
              ftruncate(to, copied) == 0 && tav_flush_descriptor(to);
    ok = CloseChecked(&to) && ok;
    return ok ? Step::kDone : Step::kFailed;
}

// Copies the source's bytes to the destination (staged, or in place when the
// directory refuses a staging file).
Step CopyOver(const std::string &from, const struct stat &source, const Target &t, bool directory_refused) {
    int fd = tav_open_descriptor(from, O_RDONLY, 0);
    if (fd < 0) return Step::kFailed;
    Step step = directory_refused ? Step::kDirectoryRefused : StageAndReplace(fd, source, t, true);
    if (step == Step::kDirectoryRefused) step = OverwriteInPlace(fd, t);
    close(fd);
    return step;
}

} // namespace

int32_t tav_rename(const wchar_t *source, const wchar_t *destination) {
    if (!source || !destination) return -1;
    const std::string from = tav_path_to_utf8(source);
    Target t;
    struct stat src;
    if (!ResolveTarget(tav_path_to_utf8(destination), &t) || stat(from.c_str(), &src) != 0 || !S_ISREG(src.st_mode))
        return -1;
    // A file moved onto itself (or onto another of its names) would vanish or
    // be truncated, depending on the road taken: refuse it.
    if (t.existed && t.st.st_dev == src.st_dev && t.st.st_ino == src.st_ino) return -1;

    Step step = Step::kOtherDevice;
    if (OnDevice(t.directory, src.st_dev)) step = MoveWithin(from, t);
    if (step == Step::kDone) return 0;
    if (step == Step::kFailed) return -1;
    if (CopyOver(from, src, t, step == Step::kDirectoryRefused) != Step::kDone) return -1;
    // The move has happened once the destination holds the bytes; a source
    // that cannot be deleted is only litter.
    tav_unlink(source);
    return 0;
}
