// Engine contexts: clean-up after failures part-way through creation. (What
// a new content starts with is tested through the class.)
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

} // namespace
