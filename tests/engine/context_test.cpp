// Engine contexts: creation over files in each mode and over memory images,
// the empty tag a new content starts with, and clean-up after failures.
#include <gtest/gtest.h>

#include "support/context_support.h"

using namespace testsupport;

namespace {

// What the class's open results do not show: a directory is no file, a new
// file must not exist yet, and an unknown mode opens nothing.
TEST(ContextFile, CreationByPathAndMode) {
    const struct {
        const char *name;
        bool directory;
        int32_t mode, expected;
    } cases[] = {
        {"directory", true, 0, TAV_ERR_NOT_FOUND},
        {"mode 1 on an existing file", false, 1, TAV_ERR_OPEN},
        {"unknown mode", false, 7, TAV_ERR_OPEN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string path = c.directory ? dir.path() : dir.file("a.mp3");
        if (!c.directory) WriteFile(path, FakeAudio(1));
        tav_id3_v2_header header = EmptyTagHeader(0);
        Context context;
        EXPECT_EQ(context.OpenFile(Widen(path), c.mode, 0, &header), c.expected);
        EXPECT_EQ(context->handle, -1);
        EXPECT_TRUE(c.directory || ReadFile(path) == FakeAudio(1));
    }
}

// A new file (mode 1) and a new memory image start with a 2.3.0 header, the
// record's flags and its size as padding; no extended header is written.
TEST(Context, NewContentsStartWithAnEmptyTag) {
    TempDir dir;
    tav_id3_v2_header flagged = EmptyTagHeader(5);
    flagged.version = TAV_ID3_V24;
    flagged.unsynchronisation = flagged.extended_header = flagged.experimental = 1;
    Context file;
    ASSERT_EQ(file.OpenFile(dir.wfile("new"), 1, 0, &flagged), TAV_OK);
    file.Destroy();
    EXPECT_EQ(ReadFile(dir.file("new")), Concat({Ascii("ID3"), Bytes{3, 0, 0xE0, 0, 0, 0, 5}, Bytes(5, 0)}));

    Context memory;
    ASSERT_EQ(memory.OpenNewMemory(4086), TAV_OK);
    const tav_id3_memory_content *m = memory->memory;
    EXPECT_EQ(m->data_length, 4096u);
    EXPECT_EQ(m->capacity, 0x100000u);
    EXPECT_EQ(Bytes(m->buffer, m->buffer + 4096), Concat({Id3Header(3, 0, 0, 4086), Bytes(4086, 0)}));
}

int FailOp(tav_op op, void *user) { return op == *static_cast<tav_op *>(user); }

// A failure part-way through creation leaves nothing open or allocated.
TEST(Context, FaultsReleaseEverything) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), FakeAudio(1));
    const Bytes image = FakeAudio(1);
    for (auto c : {std::make_pair(TAV_OP_ALLOC, TAV_ERR_NOMEM), std::make_pair(TAV_OP_OPEN, TAV_ERR_OPEN)}) {
        tav_id3_context file{}, memory{};
        tav_set_fault_hook(FailOp, &c.first);
        EXPECT_EQ(tav_id3_create_context2(dir.wfile("a.mp3").c_str(), 0, nullptr, 0, &file), c.second);
        int32_t in_memory = tav_id3_create_context_from_memory(image.data(), 10, 0, nullptr, &memory);
        tav_set_fault_hook(nullptr, nullptr);
        EXPECT_TRUE(file.handle == -1 && !file.path && !file.edit);
        if (c.first == TAV_OP_OPEN) { // an empty path opens nothing
            EXPECT_EQ(in_memory, TAV_OK);
            tav_id3_destroy_context(&memory);
        } else {
            EXPECT_EQ(in_memory, TAV_ERR_NOMEM);
            EXPECT_TRUE(!memory.path && !memory.edit && !memory.memory);
        }
    }
}

} // namespace
