// Task allocator for blocks that cross the library's interface: record
// payloads and identifiers handed out by the record classes are allocated with
// CoTaskMemAlloc, and whoever receives one releases it with CoTaskMemFree.
/// @file
/// @brief The task allocator for blocks that the record classes hand out.
#ifndef TAGMILL_TASK_MEMORY_H
#define TAGMILL_TASK_MEMORY_H

#include <cstddef>

#ifdef _WIN32
// The system's own allocator (ole32), declared as the system headers do.
extern "C" __declspec(dllimport) void *__stdcall CoTaskMemAlloc(size_t size);
extern "C" __declspec(dllimport) void __stdcall CoTaskMemFree(void *block);
#else
/// @brief Allocates a block of size bytes (at least one) that crosses the
/// library's interface; null when memory runs out.
void *CoTaskMemAlloc(size_t size);
/// @brief Frees a block from CoTaskMemAlloc, such as those of
/// CTagmill::CMusicId::GetData() and CTagmill::CGeob::GetFrameData(). Null is
/// accepted.
void CoTaskMemFree(void *block);
#endif

#endif
