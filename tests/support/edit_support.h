// Helpers for the edit-transaction tests: a content under edit in a scratch
// directory that is also $TMPDIR (so leftover temporary files can be seen),
// frame IDs and appends, and the transaction's frame list.
#ifndef TAGMILL_TEST_EDIT_SUPPORT_H
#define TAGMILL_TEST_EDIT_SUPPORT_H

#include <string>
#include <vector>

#include "support/context_support.h"
#include "support/test_support.h"
#include "tagmill/engine.h"

namespace testsupport {

// A TempDir whose "tmp" subdirectory is $TMPDIR while the object lives.
class EditScratch {
public:
    EditScratch();
    std::string file(const std::string &name) const { return m_dir.file(name); }
    std::vector<std::string> Leftovers() const { return TempFilesWithPrefix(m_tmp); } // id3* temporary files

private:
    TempDir m_dir;
    std::string m_tmp;
    ScopedTmpDir m_env;
};

// One content under edit: a file in an EditScratch (mode 2, with or without
// AIFF handling) or a memory copy. An open transaction is dropped on exit,
// since destroying a context leaves the frame list alone.
class EditSession {
public:
    ~EditSession();
    int32_t OpenFile(const Bytes &bytes, int32_t mode = 2, int32_t aiff = 0);
    int32_t OpenMemory(const Bytes &bytes) { return context.OpenMemory(bytes); }
    Bytes Content(); // the file's bytes, or the memory image's valid bytes
    tav_id3_context *get() { return context.get(); }
    tav_id3_context *operator->() { return context.get(); }
    EditScratch scratch;
    Context context;

private:
    bool m_file = false;
};

// "TIT2" -> 0x54495432, "TT2" -> 0x54543200.
uint32_t FrameId(const std::string &id);
// Appends a frame with the given ID and payload; base supplies the flags.
int32_t AddFrame(tav_id3_context *context, const std::string &id, const Bytes &payload,
                 tav_id3_v2_frame_header base = {});
std::vector<tav_id3_v2_frame_entry *> Entries(tav_id3_context *context);

} // namespace testsupport

#endif
