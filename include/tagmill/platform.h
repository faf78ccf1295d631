// Platform layer: the only code that talks to the operating system and the heap.
// Thin POSIX-style primitives (integer handles, -1 for none, Linux open-flag bit
// values, lseek origins) that the tag engine stands on. Paths are wide strings,
// encoded as UTF-8 on the file system.
#ifndef TAGMILL_PLATFORM_H
#define TAGMILL_PLATFORM_H

#include <cstddef>
#include <cstdint>

// Open flags: the bit values of the Linux open flags of the same meaning.
enum : int32_t {
    TAV_O_RDONLY = 0x0,
    TAV_O_WRONLY = 0x1,
    TAV_O_RDWR = 0x2,
    TAV_O_CREAT = 0x40,  // create if missing
    TAV_O_EXCL = 0x80,   // must not exist
    TAV_O_TRUNC = 0x200, // create or truncate
};

// Results of tav_file_type.
enum : int32_t {
    TAV_FILE_TYPE_REGULAR = 0x8000,           // exists and is not a directory
    TAV_FILE_TYPE_DIRECTORY = 0x4000,
    TAV_FILE_TYPE_UNKNOWN = (int32_t)0xFFFF3FFF, // attributes cannot be read
};

// Failure results of tav_open besides -1.
enum : int32_t {
    TAV_OPEN_NOT_FOUND = -2,
    TAV_OPEN_DENIED = -13, // access denied or already exists
};

// Largest path, in wide characters including the terminator, that the engine
// keeps for its temporary file (the Linux PATH_MAX).
enum : uint32_t { TAV_PATH_MAX = 4096 };

// Files: handles are file descriptors; -1 means none.
int32_t tav_open(const wchar_t *path, int32_t flags, int32_t *handle);
int32_t tav_close(int32_t *handle);
int32_t tav_read(int32_t handle, void *buffer, uint32_t count);
int32_t tav_write(int32_t handle, const void *buffer, uint32_t count);
// Returns the new position (0 .. 0xFFFFFFFE), clamped to the end of the file, or -1.
int64_t tav_lseek(int32_t handle, int32_t offset, int32_t origin);
int32_t tav_unlink(const wchar_t *path);
int32_t tav_rename(const wchar_t *source, const wchar_t *destination);
int64_t tav_getfilesize(const wchar_t *path);
int32_t tav_file_type(const wchar_t *path);
int32_t tav_set_end_of_file(int32_t handle);

// Temporary files: the directory is $TMPDIR, else /tmp, with a trailing '/'.
uint32_t tav_get_temp_path(uint32_t length, wchar_t *buffer);
// Creates a new empty file "<dir>id3XXXXXX" and writes its name into name
// (TAV_PATH_MAX wide characters). Nonzero on success.
uint32_t tav_get_temp_file_name(const wchar_t *directory, wchar_t *name);

// Memory buffers.
int32_t tav_read_from_memory(const uint8_t *block, uint32_t data_length, uint32_t *position,
                             void *destination, uint32_t count);
int32_t tav_write_to_memory(uint8_t **block, uint32_t *capacity, uint32_t *position,
                            const void *source, uint32_t count);

// Heap.
void *tav_malloc(size_t size);
void *tav_realloc(void *block, size_t size);
void tav_free(void *block);
void *tav_rud_malloc(size_t size);
void *tav_rud_calloc(size_t size);
wchar_t *tav_rud_strndup(const wchar_t *text, size_t count);
void tav_rud_free(void *block);

// Byte order of the ID3 formats (big-endian).
uint32_t tav_htonl(uint32_t value);
uint32_t tav_ntohl(uint32_t value);

// Test seam: a hook consulted before each primitive touches the system. When it
// returns nonzero the primitive fails as if the system call had failed. The hook
// belongs to the calling thread, so parallel tests do not disturb each other.
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
};
typedef int (*tav_fault_hook)(tav_op op, void *user);
void tav_set_fault_hook(tav_fault_hook hook, void *user);

#endif
