// Moving a file over another (tav_rename) so that the destination is replaced
// whole or not at all, even if the process dies part-way:
//  - on one volume, the source is flushed to disk and moved over the
//    destination with write-through (unless the calling thread turned
//    flushes off), one step of the file system;
//  - across volumes, the source is copied into a staging file beside the
//    destination, flushed, and that is moved over the destination; then the
//    source goes.
// Only when the destination's directory refuses new files does the move fall
// back to copying the bytes over the destination in place.
// What the replaced file keeps: MoveFileExW puts the new file, with its own
// attributes, security descriptor and alternate streams (those it inherited
// from the directory), where the old one was; ReplaceFileW would carry the
// old file's over instead, but it neither writes through nor crosses volumes,
// so the old file's are left behind.
#include <string>

#include "platform/faults.h"
#include "platform/flush_switch.h"
#include "platform/windows/handles.h"
#include "tagmill/platform.h"

namespace {

enum class Step { kDone, kFailed, kOtherVolume, kDirectoryRefused };

std::wstring DirectoryOf(const std::wstring &path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"." : path.substr(0, slash + 1);
}

// Flushes a file's data to disk through a handle of its own, unless the
// calling thread has turned flushes off; the flush observer sees that handle.
bool FlushFile(const wchar_t *path) {
    if (!tav_flushes_enabled()) return true;
    if (tav_fault(TAV_OP_FSYNC)) return false;
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = FlushFileBuffers(file) != 0;
    if (ok) tav_flushed(tav_win_handle_value(file));
    CloseHandle(file);
    return ok;
}

// Replaces the destination by the source in one step. With flushes on, the
// system writes the changed directory entry through before returning, which
// the flush observer sees as a directory flush.
bool ReplaceBy(const wchar_t *source, const wchar_t *destination) {
    const bool flush = tav_flushes_enabled() != 0;
    if (!MoveFileExW(source, destination, MOVEFILE_REPLACE_EXISTING | (flush ? MOVEFILE_WRITE_THROUGH : 0)))
        return false;
    if (flush) tav_flushed(-1);
    return true;
}

Step MoveFailure(DWORD error) {
    if (error == ERROR_NOT_SAME_DEVICE) return Step::kOtherVolume;
    if (error == ERROR_ACCESS_DENIED) return Step::kDirectoryRefused;
    return Step::kFailed;
}

// Same volume: the data reaches the disk before the name points at it.
Step MoveWithin(const wchar_t *source, const wchar_t *destination) {
    if (!FlushFile(source) || tav_fault(TAV_OP_RENAME)) return Step::kFailed;
    return ReplaceBy(source, destination) ? Step::kDone : MoveFailure(GetLastError());
}

// A unique staging name in the destination's directory, created empty.
bool StagingName(const std::wstring &directory, std::wstring *name) {
    wchar_t buffer[MAX_PATH + 1];
    if (tav_fault(TAV_OP_TEMP_NAME) || !GetTempFileNameW(directory.c_str(), L"id3", 0, buffer)) return false;
    *name = buffer;
    return true;
}

// Copies the source beside the destination, flushes the copy and moves it
// over the destination. Whatever fails, the staging file is gone after.
Step StageAndReplace(const wchar_t *source, const wchar_t *destination) {
    std::wstring staged;
    if (!StagingName(DirectoryOf(destination), &staged))
        return GetLastError() == ERROR_ACCESS_DENIED ? Step::kDirectoryRefused : Step::kFailed;
    bool ok = !tav_fault(TAV_OP_READ) && !tav_fault(TAV_OP_WRITE) && CopyFileW(source, staged.c_str(), FALSE) &&
              FlushFile(staged.c_str()) && !tav_fault(TAV_OP_RENAME) &&
              ReplaceBy(staged.c_str(), destination);
    if (!ok) {
        DeleteFileW(staged.c_str());
        return Step::kFailed;
    }
    return Step::kDone;
}

// The last resort, for a directory that refuses new files: the destination's
// own bytes are overwritten. A failure part-way leaves it damaged, which no
// other way of writing could avoid here.
Step OverwriteInPlace(const wchar_t *source, const wchar_t *destination) {
    if (GetFileAttributesW(destination) == INVALID_FILE_ATTRIBUTES) return Step::kFailed;
    bool ok = !tav_fault(TAV_OP_WRITE) && CopyFileW(source, destination, FALSE) && FlushFile(destination);
    return ok ? Step::kDone : Step::kFailed;
}

// Two names of one file: moving it onto itself would lose it.
bool SameFile(const wchar_t *a, const wchar_t *b) {
    tav_file_identity ia, ib;
    return tav_identify_path(a, &ia) == 0 && tav_identify_path(b, &ib) == 0 && ia.device == ib.device &&
           ia.file == ib.file;
}

bool IsRegularFile(const wchar_t *path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

int32_t tav_rename(const wchar_t *source, const wchar_t *destination) {
    if (!source || !destination || !IsRegularFile(source)) return -1;
    DWORD existing = GetFileAttributesW(destination);
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_DIRECTORY)) return -1;
    if (SameFile(source, destination)) return -1;

    Step step = MoveWithin(source, destination);
    if (step == Step::kDone) return 0;
    if (step == Step::kOtherVolume) step = StageAndReplace(source, destination);
    if (step == Step::kDirectoryRefused) step = OverwriteInPlace(source, destination);
    if (step != Step::kDone) return -1;
    // The move has happened once the destination holds the bytes; a source
    // that cannot be deleted is only litter.
    tav_unlink(source);
    return 0;
}
