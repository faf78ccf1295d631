// Platform layer: the only code that talks to the operating system and the heap.
// Thin POSIX-style primitives (integer handles, -1 for none, Linux open-flag bit
// values, lseek origins) that the tag engine stands on. Paths are wide strings,
// encoded as UTF-8 on the file system.
/// @file
/// @brief The platform primitives beneath the tag engine, for advanced use.
#ifndef TAGMILL_PLATFORM_H
#define TAGMILL_PLATFORM_H

#include <cstddef>
#include <cstdint>

/// Open flags: the bit values of the Linux open flags of the same meaning.
enum : int32_t {
    TAV_O_RDONLY = 0x0,  ///< read only
    TAV_O_WRONLY = 0x1,  ///< write only
    TAV_O_RDWR = 0x2,    ///< read and write
    TAV_O_CREAT = 0x40,  ///< create if missing
    TAV_O_EXCL = 0x80,   ///< must not exist
    TAV_O_TRUNC = 0x200, ///< create or truncate
};

/// Results of tav_file_type().
enum : int32_t {
    TAV_FILE_TYPE_REGULAR = 0x8000,           ///< exists and is not a directory
    TAV_FILE_TYPE_DIRECTORY = 0x4000,         ///< a directory
    TAV_FILE_TYPE_UNKNOWN = (int32_t)0xFFFF3FFF, ///< attributes cannot be read
};

/// Failure results of tav_open() besides -1.
enum : int32_t {
    TAV_OPEN_NOT_FOUND = -2, ///< no such file
    TAV_OPEN_DENIED = -13, ///< access denied or already exists
};

// Largest path, in wide characters including the terminator, that the engine
// keeps for its temporary file (the Linux PATH_MAX).
enum : uint32_t { TAV_PATH_MAX = 4096 };

// Files: handles are file descriptors; -1 means none.
/// @brief Opens a file.
/// @param path wide path, UTF-8 on the file system; an empty path opens nothing
/// (*handle -1, result 0), as memory contents do.
/// @param flags TAV_O_* bits.
/// @param[out] handle the file descriptor.
/// @return 0; TAV_OPEN_NOT_FOUND; TAV_OPEN_DENIED (access denied, already
/// exists, a directory); -1 for any other failure.
int32_t tav_open(const wchar_t *path, int32_t flags, int32_t *handle);
/// @brief Closes *handle and sets it to -1.
/// @return 0, or -1.
int32_t tav_close(int32_t *handle);
/// @brief Reads up to count bytes.
/// @return the bytes read (0 at the end), or -1.
int32_t tav_read(int32_t handle, void *buffer, uint32_t count);
/// @brief Writes count bytes.
/// @return the bytes written, or -1.
int32_t tav_write(int32_t handle, const void *buffer, uint32_t count);
// Returns the new position (0 .. 0xFFFFFFFE), clamped to the end of the file, or -1.
/// @brief Moves the file position (origin 0 start, 1 current, 2 end).
/// @return the new position (0 .. 0xFFFFFFFE), clamped to the end of the file,
/// or -1.
int64_t tav_lseek(int32_t handle, int32_t offset, int32_t origin);
/// @brief Deletes a file.
/// @return 0, or -1.
int32_t tav_unlink(const wchar_t *path);
/// @brief Gives an existing file a second name (a hard link) on its file system.
/// @return 0, or -1 (also where the file system has no hard links).
int32_t tav_link(const wchar_t *existing, const wchar_t *name);
/// @brief Moves source over destination, which is replaced whole or not at all.
/// On one file system source is renamed over destination; otherwise it is
/// copied into a new file beside destination, flushed and renamed over it, and
/// source is deleted. An existing destination's permission bits (and owner and
/// extended attributes, ACLs among them, where allowed) carry over; a symbolic
/// link is followed, not replaced. Only when destination's directory refuses
/// new files are the bytes written over destination in place.
/// @return 0 once destination holds source's bytes (even when deleting source
/// fails); -1 otherwise, with destination as it was (unless an in-place write
/// failed part-way) and nothing left behind.
int32_t tav_rename(const wchar_t *source, const wchar_t *destination);
/// @brief Size of a regular file in bytes, or -1.
int64_t tav_getfilesize(const wchar_t *path);
/// @brief What a path is: TAV_FILE_TYPE_REGULAR, TAV_FILE_TYPE_DIRECTORY or
/// TAV_FILE_TYPE_UNKNOWN.
int32_t tav_file_type(const wchar_t *path);
/// @brief Truncates the file at its current position.
/// @return 0, or -1.
int32_t tav_set_end_of_file(int32_t handle);

// Commits that patch a file where it stands, and their durability.
/// Identity of an open file: what a journal checks before it touches a file.
struct tav_file_identity {
    uint64_t device; ///< file system
    uint64_t file;   ///< the file on it (inode)
    int64_t size;    ///< length in bytes
};
/// @brief Device, file number and size of an open file.
/// @return 0, or -1.
int32_t tav_identify_file(int32_t handle, tav_file_identity *identity);
/// @brief The same for the file a path names (a symbolic link followed),
/// without opening it for reading or writing.
/// @return 0, or -1 (no such file, or it cannot be asked).
int32_t tav_identify_path(const wchar_t *path, tav_file_identity *identity);
/// @brief Writes count bytes at offset without moving the file position; the
/// file grows when offset + count passes its end. A TAV_OP_WRITE fault point.
/// @return count, or -1 (some bytes may have been written).
int32_t tav_write_at(int32_t handle, const void *buffer, uint32_t count, int64_t offset);
/// @brief Makes the file's data and size durable (fdatasync). Does nothing and
/// succeeds while the calling thread has flushes turned off. A TAV_OP_FSYNC
/// fault point.
/// @return 0, or -1.
int32_t tav_flush(int32_t handle);
/// @brief Makes the directory entries beside path durable (a file created,
/// renamed or removed there), as tav_flush does for a file.
/// @return 0, or -1.
int32_t tav_flush_directory_of(const wchar_t *path);
/// @brief Makes every file named durable with its directory entry, in as few
/// flushes as the system allows (one per file system where it can flush a
/// whole one). Does nothing and succeeds while the calling thread has flushes
/// turned off. A TAV_OP_FSYNC fault point.
/// @return 0, or -1.
int32_t tav_flush_paths(const wchar_t *const *paths, uint32_t count);
/// @brief Turns the calling thread's flushes (tav_flush, tav_flush_directory_of,
/// tav_flush_paths and those of tav_rename) off (0) or on (nonzero, the default).
void tav_set_flushes(int32_t enabled);
/// @brief Whether the calling thread's flushes are on.
int32_t tav_flushes_enabled(void);
/// @brief The hidden name beside path: its directory, '.', its last component
/// and suffix.
/// @param length the size of out in wide characters.
/// @return the characters written without the terminator, or 0 when it does
/// not fit.
uint32_t tav_hidden_sibling(const wchar_t *path, const wchar_t *suffix, wchar_t *out, uint32_t length);
/// @brief The path of the file that path names: a symbolic link in its last
/// component is followed to its target (realpath); any other path, and one that
/// cannot be resolved, is copied as it is. On Windows always as it is.
/// @param length the size of out in wide characters.
/// @return the characters written without the terminator, or 0 when it does
/// not fit.
uint32_t tav_resolve_path(const wchar_t *path, wchar_t *out, uint32_t length);
/// @brief Copies count bytes of from, starting at from_offset, to to at
/// to_offset; the kernel copies (or shares blocks) where it can. Each piece is a
/// read and a write fault point.
/// @return 0 once all count bytes are copied; -1 otherwise (also when from ends
/// early).
int32_t tav_copy_range(int32_t from, int64_t from_offset, int32_t to, int64_t to_offset, int64_t count);

// Temporary files: beside the file they will replace, or in the temporary
// directory ($TMPDIR, else /tmp, with a trailing '/').
/// @brief Creates a new empty hidden file ".<name>.id3XXXXXX" (mkostemp) in the
/// directory of the file at path (a symbolic link's target), and writes its name
/// into name (TAV_PATH_MAX wide characters). On Windows the file is
/// "<dir>id3XXXX.tmp" (GetTempFileNameW). A TAV_OP_TEMP_NAME fault point.
/// @return 0; TAV_OPEN_DENIED when the directory lets this process add no file
/// (or the name does not fit), so the caller may use the temporary directory
/// instead; -1 for any other failure.
int32_t tav_create_temp_beside(const wchar_t *path, wchar_t *name);
/// @brief Writes the temporary directory (with a trailing '/') into buffer.
/// @param length the buffer's size in wide characters.
/// @param[out] buffer receives the directory and a terminator.
/// @return the characters written without the terminator, or 0 when it does not
/// fit.
uint32_t tav_get_temp_path(uint32_t length, wchar_t *buffer);
/// @brief Creates a new empty file "<dir>id3XXXXXX" (mkstemp) and writes its name
/// into name (TAV_PATH_MAX wide characters). Nonzero on success.
uint32_t tav_get_temp_file_name(const wchar_t *directory, wchar_t *name);

// Memory buffers.
/// @brief Reads up to count bytes of a memory image at *position, which advances.
/// @return the bytes read (fewer at data_length), or -1.
int32_t tav_read_from_memory(const uint8_t *block, uint32_t data_length, uint32_t *position,
                             void *destination, uint32_t count);
/// @brief Writes count bytes into a memory block at *position, growing the
/// block with tav_realloc when needed; *position advances.
/// @return count, or -1.
int32_t tav_write_to_memory(uint8_t **block, uint32_t *capacity, uint32_t *position,
                            const void *source, uint32_t count);

// Heap.
/// @brief Allocates from the library's heap (malloc); null on failure.
void *tav_malloc(size_t size);
/// @brief Resizes a block of tav_malloc; a null block gives null.
void *tav_realloc(void *block, size_t size);
/// @brief Frees a block of tav_malloc (null is accepted).
void tav_free(void *block);
/// @brief Allocates a block that the engine may own or hand on (malloc).
void *tav_rud_malloc(size_t size);
/// @brief Allocates a zero-filled block (calloc).
void *tav_rud_calloc(size_t size);
/// @brief Copies at most count wide characters of text into a new block,
/// terminated; null on failure.
wchar_t *tav_rud_strndup(const wchar_t *text, size_t count);
/// @brief Frees a block of the tav_rud_* allocators (free).
void tav_rud_free(void *block);

// Byte order of the ID3 formats (big-endian).
/// @brief Host to big-endian byte order.
uint32_t tav_htonl(uint32_t value);
/// @brief Big-endian to host byte order.
uint32_t tav_ntohl(uint32_t value);

/// Test seam: a hook consulted before each primitive touches the system. When it
/// returns nonzero the primitive fails as if the system call had failed. The hook
/// belongs to the calling thread, so parallel tests do not disturb each other.
/// The values name the primitive about to run.
enum tav_op {
    TAV_OP_OPEN,
    TAV_OP_CLOSE,
    TAV_OP_READ,
    TAV_OP_WRITE,
    TAV_OP_LSEEK,
    TAV_OP_UNLINK,
    TAV_OP_RENAME,
    TAV_OP_TRUNCATE,
    TAV_OP_TEMP_NAME,
    TAV_OP_ALLOC,
    TAV_OP_FSYNC, ///< flushing a file to disk during a move
};
/// A fault hook: nonzero makes the primitive about to run fail.
typedef int (*tav_fault_hook)(tav_op op, void *user);
/// @brief Installs the calling thread's fault hook; null removes it.
void tav_set_fault_hook(tav_fault_hook hook, void *user);

/// Test seam: called on the calling thread right after each flush that
/// succeeded, with the flushed file's handle, -1 for a directory, or -2 for
/// whole file systems (everything written so far).
typedef void (*tav_flush_observer)(int32_t handle, void *user);
/// @brief Installs the calling thread's flush observer; null removes it.
void tav_set_flush_observer(tav_flush_observer observer, void *user);

#endif
