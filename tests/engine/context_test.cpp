// Engine contexts: clean-up after failures part-way through creation, and
// the texts the engine logs. (What a new content starts with is tested
// through the class.)
#include "support/context_support.h"

using namespace testsupport;

namespace {

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
        // A memory image opens no file (its path is empty): only a refused
        // allocation stops it.
        EXPECT_EQ(c.first == TAV_OP_OPEN ? TAV_OK : TAV_ERR_NOMEM, in_memory);
        EXPECT_TRUE(in_memory == TAV_OK || (!memory.path && !memory.edit && !memory.memory));
        if (in_memory == TAV_OK) tav_id3_destroy_context(&memory);
    }
}

// The error texts are the engine's interface to a host's log: each names the
// function that failed; traces mark entry. (The header search logs once per
// place it looks; its first text is checked.)
TEST(EngineLog, FailuresLogTheirTexts) {
    Context context;
    ASSERT_EQ(context.OpenMemory(FakeAudio(1)), TAV_OK);
    tav_id3_v2_header header;
    const struct { std::function<int32_t()> call; int32_t result; const char *trace, *error; } cases[] = {
        {[&] { return tav_id3_v2_get_header(context.get(), &header); }, TAV_ERR_NOT_FOUND,
         "tav_id3_v2_get_header() enter", "in tav_id3_v2_read_header_from_header() ID3v2 is not found."},
        {[&] { return tav_id3_v2_edit_end(context.get()); }, TAV_ERR_STATE, "tav_id3_v2_edit_end() enter",
         "in tav_id3_v2_edit_end() transaction is invalid."},
        {[&] { return tav_id3_v1_set_title(context.get(), nullptr); }, TAV_ERR_PARAM, "tav_id3_v1_set_title() enter",
         "in tav_id3_v1_set_title() parameter is invalid."},
    };
    for (const auto &c : cases) {
        LogCapture log;
        EXPECT_EQ(c.call(), c.result) << c.error;
        ASSERT_FALSE(log.traces.empty() || log.errors.empty()) << c.error;
        EXPECT_EQ(log.traces.front(), c.trace);
        EXPECT_EQ(log.errors.front(), c.error);
    }
}

} // namespace
