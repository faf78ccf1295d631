// Engine contexts: creation over files in each mode and over memory images,
// destruction, clean-up after failures, and the log texts.
#include <gtest/gtest.h>
#include <unistd.h>

#include "support/context_support.h"

using namespace testsupport;

namespace {

int FailOp(tav_op op, void *user) { return op == *static_cast<tav_op *>(user); }

TEST(ContextFile, CreationByPathAndMode) {
    const struct {
        const char *name;
        int kind; // 0 missing, 1 directory, 2 existing file
        int32_t mode, expected;
    } cases[] = {
        {"missing, mode 0", 0, 0, TAV_ERR_NOT_FOUND}, {"missing, mode 2", 0, 2, TAV_ERR_NOT_FOUND},
        {"directory", 1, 0, TAV_ERR_NOT_FOUND},       {"file, mode 0", 2, 0, TAV_OK},
        {"file, mode 2", 2, 2, TAV_OK},               {"file, mode 1 (must not exist)", 2, 1, TAV_ERR_OPEN},
        {"file, unknown mode", 2, 7, TAV_ERR_OPEN},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        std::string path = c.kind == 1 ? dir.path() : dir.file("a.mp3");
        if (c.kind == 2) WriteFile(path, FakeAudio(1));
        tav_id3_v2_header header = EmptyTagHeader(0);
        Context context;
        EXPECT_EQ(context.OpenFile(Widen(path), c.mode, 0, &header), c.expected);
        EXPECT_EQ(context->handle >= 0, c.expected == TAV_OK);
        EXPECT_EQ(context->edit != nullptr, c.expected == TAV_OK);
        EXPECT_TRUE(c.expected != TAV_OK || context->edit->temp_handle == -1);
        EXPECT_TRUE(c.kind != 2 || ReadFile(path) == FakeAudio(1));
    }
}

TEST(ContextFile, ModeOneWritesEmptyTag) {
    TempDir dir;
    tav_id3_v2_header plain = EmptyTagHeader(4086);
    plain.version = TAV_ID3_V24; // a new tag is 2.3.0 whatever the record says
    tav_id3_v2_header flagged = EmptyTagHeader(5);
    flagged.unsynchronisation = flagged.extended_header = flagged.experimental = 1;
    for (auto *header : {&plain, &flagged}) {
        Context context;
        ASSERT_EQ(context.OpenFile(dir.wfile(header == &plain ? "a" : "b"), 1, 0, header), TAV_OK);
    }
    EXPECT_EQ(ReadFile(dir.file("a")), Concat({Ascii("ID3"), Bytes{3, 0, 0, 0, 0, 0x1F, 0x76}, Bytes(4086, 0)}));
    // The flags are set, but no extended header is written.
    EXPECT_EQ(ReadFile(dir.file("b")), Concat({Ascii("ID3"), Bytes{3, 0, 0xE0, 0, 0, 0, 5}, Bytes(5, 0)}));
}

TEST(ContextFile, InvalidParameters) {
    TempDir dir;
    tav_id3_context context{};
    EXPECT_EQ(tav_id3_create_context2(nullptr, 0, nullptr, 0, &context), TAV_ERR_PARAM);
    EXPECT_EQ(tav_id3_create_context2(dir.wfile("a").c_str(), 2, nullptr, 0, nullptr), TAV_ERR_PARAM);
    EXPECT_EQ(tav_id3_create_context2(dir.wfile("b").c_str(), 1, nullptr, 0, &context), TAV_ERR_PARAM);
    EXPECT_FALSE(FileExists(dir.file("b")));
    EXPECT_EQ(tav_id3_destroy_context(nullptr), TAV_ERR_PARAM);
}

TEST(ContextFile, LogTexts) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), FakeAudio(1));
    LogCapture log;
    tav_id3_context context{};
    EXPECT_EQ(tav_id3_create_context2(Widen(dir.path()).c_str(), 0, nullptr, 0, &context), TAV_ERR_NOT_FOUND);
    ASSERT_EQ(tav_id3_create_context2(dir.wfile("a.mp3").c_str(), 0, nullptr, 0, &context), TAV_OK);
    EXPECT_EQ(tav_id3_destroy_context(&context), TAV_OK);
    EXPECT_EQ(log.traces, (std::vector<std::string>{"tav_id3_create_context() enter", "tav_id3_create_context() enter",
                                                    "tav_id3_create_context() exit", "tav_id3_destroy_context() enter",
                                                    "tav_id3_destroy_context() exit"}));
    EXPECT_EQ(log.errors, std::vector<std::string>{"in tav_id3_create_context2() file is invalid."});
}

// A failure part-way through creation leaves nothing open or allocated.
TEST(ContextFile, FaultsReleaseEverything) {
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

TEST(ContextFile, DestroyReportsCloseFailureAfterReleasing) {
    TempDir dir;
    WriteFile(dir.file("a.mp3"), FakeAudio(1));
    tav_id3_context context{};
    ASSERT_EQ(tav_id3_create_context2(dir.wfile("a.mp3").c_str(), 0, nullptr, 0, &context), TAV_OK);
    int32_t fd = context.handle;
    tav_op op = TAV_OP_CLOSE;
    LogCapture log;
    tav_set_fault_hook(FailOp, &op);
    EXPECT_EQ(tav_id3_destroy_context(&context), TAV_ERR_CLOSE);
    tav_set_fault_hook(nullptr, nullptr);
    EXPECT_EQ(context.path, nullptr);
    EXPECT_EQ(log.errors, std::vector<std::string>{"in tav_id3_close_content() tav_close() failed."});
    ::close(fd);
}

TEST(ContextMemory, CopyAndNewTag) {
    Bytes image = Concat({Id3Header(3, 0, 0, 0), FakeAudio(1)});
    Context copy;
    ASSERT_EQ(copy.OpenMemory(image), TAV_OK);
    image[0] = 'X'; // the context has its own copy
    EXPECT_EQ(copy->content_type, TAV_CONTENT_MEMORY);
    EXPECT_EQ(copy->handle, -1);
    EXPECT_EQ(std::wstring(copy->path), L"");
    EXPECT_EQ(copy->memory->data_length, image.size());
    EXPECT_EQ(copy->memory->capacity, image.size());
    EXPECT_EQ(copy->memory->buffer[0], 'I');

    Context fresh;
    ASSERT_EQ(fresh.OpenNewMemory(4086), TAV_OK);
    const tav_id3_memory_content *m = fresh->memory;
    EXPECT_EQ(m->data_length, 4096u);
    EXPECT_EQ(m->capacity, 0x100000u);
    EXPECT_EQ(Bytes(m->buffer, m->buffer + 4096), Concat({Id3Header(3, 0, 0, 4086), Bytes(4086, 0)}));
}

TEST(ContextMemory, InvalidParametersGiveTenSilently) {
    const uint8_t byte = 0;
    tav_id3_v2_header header = EmptyTagHeader(0);
    const struct {
        const uint8_t *buffer;
        uint32_t length;
        int32_t mode;
        const tav_id3_v2_header *header;
    } cases[] = {{&byte, 0, 0, nullptr}, {nullptr, 1, 0, nullptr}, {nullptr, 0, 1, nullptr}, {&byte, 1, 2, &header}};
    LogCapture log;
    for (const auto &c : cases) {
        tav_id3_context context{};
        EXPECT_EQ(tav_id3_create_context_from_memory(c.buffer, c.length, c.mode, c.header, &context), TAV_ERR_PARAM);
    }
    EXPECT_TRUE(log.errors.empty());
}

} // namespace
