// TAGMILL_API marks what the Windows DLL exports: CTagmill, its record classes
// and the helpers their callers need. A host of the DLL defines TAGMILL_DLL
// (the CMake package and the pkg-config file do); everywhere else it is empty.
/// @file
/// @brief The export macro of the Windows DLL.
#ifndef TAGMILL_EXPORT_H
#define TAGMILL_EXPORT_H

#if defined(_WIN32) && defined(TAGMILL_BUILDING)
#define TAGMILL_API __declspec(dllexport)
#elif defined(_WIN32) && defined(TAGMILL_DLL)
#define TAGMILL_API __declspec(dllimport)
#else
#define TAGMILL_API
#endif

#endif
