// Commits that patch a file where it stands, on Windows: writes at an offset,
// copies between ranges, a file's identity, hidden names beside a file, and
// durability (flushing a file; the flush switch and observer live in
// flush_switch.cpp). NTFS journals its
// directory entries, so flushing the entries beside a path has nothing to do
// beyond what a write-through move already did.
#include <cwchar>
#include <string>
#include <vector>

#include "platform/faults.h"
#include "platform/flush_switch.h"
#include "platform/windows/handles.h"
#include "tagmill/platform.h"

namespace {

const DWORD kCopyPiece = 1 << 20;

OVERLAPPED At(int64_t offset) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(static_cast<uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
    return at;
}

// A transfer at an offset on a synchronous handle moves its file pointer;
// this puts the pointer back when the transfer is done.
class KeepPointer {
public:
    explicit KeepPointer(HANDLE file) : m_file(file) {
        LARGE_INTEGER zero;
        zero.QuadPart = 0;
        m_ok = SetFilePointerEx(file, zero, &m_at, FILE_CURRENT) != 0;
    }
    ~KeepPointer() {
        if (m_ok) SetFilePointerEx(m_file, m_at, nullptr, FILE_BEGIN);
    }
    bool ok() const { return m_ok; }

private:
    HANDLE m_file;
    LARGE_INTEGER m_at;
    bool m_ok;
};

bool WriteAllAt(HANDLE file, const char *data, DWORD count, int64_t offset) {
    for (DWORD done = 0; done < count;) {
        OVERLAPPED at = At(offset + done);
        DWORD put = 0;
        if (!WriteFile(file, data + done, count - done, &put, &at) || put == 0) return false;
        done += put;
    }
    return true;
}

} // namespace

int32_t tav_flush(int32_t handle) {
    if (!tav_win_is_file_handle(handle)) return -1;
    if (!tav_flushes_enabled()) return 0;
    if (tav_fault(TAV_OP_FSYNC)) return -1;
    if (!FlushFileBuffers(tav_win_handle(handle))) return -1;
    tav_flushed(handle);
    return 0;
}

int32_t tav_flush_directory_of(const wchar_t *path) {
    if (!path) return -1;
    if (!tav_flushes_enabled()) return 0;
    if (tav_fault(TAV_OP_FSYNC)) return -1;
    tav_flushed(-1);
    return 0;
}

// No call flushes a whole volume without administrator rights, so each file
// is flushed on its own (FlushFileBuffers also writes its directory entry).
int32_t tav_flush_paths(const wchar_t *const *paths, uint32_t count) {
    if (!paths && count) return -1;
    for (uint32_t i = 0; i < count; ++i) {
        int32_t handle = -1;
        if (tav_open(paths[i], TAV_O_RDWR, &handle) != 0) return -1;
        const int32_t rc = tav_flush(handle);
        tav_close(&handle);
        if (rc != 0) return -1;
    }
    return 0;
}

int32_t tav_write_at(int32_t handle, const void *buffer, uint32_t count, int64_t offset) {
    if ((!buffer && count != 0) || !tav_win_is_file_handle(handle) || offset < 0 || count > INT32_MAX) return -1;
    if (tav_fault(TAV_OP_WRITE)) return -1;
    HANDLE file = tav_win_handle(handle);
    KeepPointer keep(file);
    if (!keep.ok()) return -1;
    return WriteAllAt(file, static_cast<const char *>(buffer), count, offset) ? static_cast<int32_t>(count) : -1;
}

namespace {

int32_t Identify(HANDLE file, tav_file_identity *identity) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return -1;
    identity->device = info.dwVolumeSerialNumber;
    identity->file = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    identity->size = (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return 0;
}

} // namespace

int32_t tav_identify_file(int32_t handle, tav_file_identity *identity) {
    if (!identity || !tav_win_is_file_handle(handle)) return -1;
    return Identify(tav_win_handle(handle), identity);
}

// Opened for no access and sharing everything, so that asking never stands
// in the way of anyone who has the file open.
int32_t tav_identify_path(const wchar_t *path, tav_file_identity *identity) {
    if (!path || !identity) return -1;
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return -1;
    const int32_t rc = Identify(file, identity);
    CloseHandle(file);
    return rc;
}

uint32_t tav_hidden_sibling(const wchar_t *path, const wchar_t *suffix, wchar_t *out, uint32_t length) {
    if (!path || !suffix || !out || length == 0) return 0;
    const std::wstring p = path;
    const size_t separator = p.find_last_of(L"\\/");
    const size_t base = separator == std::wstring::npos ? 0 : separator + 1;
    if (base == p.size()) return 0;
    const std::wstring hidden = p.substr(0, base) + L"." + p.substr(base) + suffix;
    if (hidden.size() + 1 > length) return 0;
    std::wmemcpy(out, hidden.c_str(), hidden.size() + 1);
    return static_cast<uint32_t>(hidden.size());
}

int32_t tav_copy_range(int32_t from, int64_t from_offset, int32_t to, int64_t to_offset, int64_t count) {
    if (from_offset < 0 || to_offset < 0 || count < 0) return -1;
    if (!tav_win_is_file_handle(from) || !tav_win_is_file_handle(to)) return -1;
    HANDLE in = tav_win_handle(from), out = tav_win_handle(to);
    KeepPointer keepIn(in), keepOut(out);
    if (!keepIn.ok() || !keepOut.ok()) return -1;
    std::vector<char> buffer(static_cast<size_t>(count < kCopyPiece ? count : kCopyPiece));
    for (int64_t done = 0; done < count;) {
        if (tav_fault(TAV_OP_READ) || tav_fault(TAV_OP_WRITE)) return -1;
        const DWORD want = static_cast<DWORD>(count - done < kCopyPiece ? count - done : kCopyPiece);
        OVERLAPPED at = At(from_offset + done);
        DWORD got = 0;
        if (!ReadFile(in, buffer.data(), want, &got, &at) || got == 0) return -1; // ended early
        if (!WriteAllAt(out, buffer.data(), got, to_offset + done)) return -1;
        done += got;
    }
    return 0;
}
