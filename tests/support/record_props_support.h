// Helpers for tests of the record-valued properties (pictures, music ID,
// objects, user-defined strings), of raw tag access and of the peer checks:
// frame payload builders and running Python scripts that read tags with
// mutagen.
#ifndef TAGMILL_TEST_RECORD_PROPS_SUPPORT_H
#define TAGMILL_TEST_RECORD_PROPS_SUPPORT_H

#include <string>

#include "support/test_support.h"

namespace testsupport {

// Payload builders, all with text encoding 0 except CommentUtf16.
Bytes ApicPayload(const std::string &mime, uint8_t type, const std::string &description, const Bytes &data);
Bytes GeobPayload(const std::string &mime, const std::string &description, const Bytes &data);
Bytes TxxxPayload(const std::string &description, const std::string &value);
// Comment in UTF-16 with marks: 01, language, FF FE description 00 00, FF FE value 00 00.
Bytes CommentUtf16(const std::string &language, const std::wstring &description, const std::wstring &value);
Bytes UfidPayload(const std::string &owner, size_t idBytes, uint8_t fill = 0x5A);

// Lower-case hex digits of the bytes ("" for none).
std::string Hex(const Bytes &bytes);

// An MP3 file image: a tag of the given major version, then audio.
Bytes Mp3(int major, const FrameList &frames, size_t padding = 64);

// Whether the system interpreter, where the distribution's python3-mutagen
// lives, can import mutagen; the peer checks skip when it cannot.
bool HaveMutagen();
// Runs one of the peer scripts in tests/tag_access/peers/, by file name, with
// the (shell-quoted) arguments. *out receives its standard output as UTF-8;
// its standard error goes to the test log. True when it exits with status 0.
bool RunPeerScript(const std::string &name, const std::string &args, std::string *out);

} // namespace testsupport

#endif
