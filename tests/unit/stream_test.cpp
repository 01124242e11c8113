// The module I/O callback set, the stream layer and the memory stream's clamps.
#include <gtest/gtest.h>

#include <vector>

#include "assets/assets.h"
#include "base/heap.h"
#include "module/stream.h"

namespace {

std::vector<uint8_t> Image(int32_t size)
{
    std::vector<uint8_t> v(size);
    for (int32_t i = 0; i < size; i++) v[i] = static_cast<uint8_t>(i * 7);
    return v;
}

}  // namespace

TEST(MemoryStream, ReadsAndSeeksStopAtTheEndOfTheImage)
{
    std::vector<uint8_t> image = Image(5750);
    void* h = memory_open_image(image.data(), 5750);
    uint8_t buf[32] = {};

    memory_seek(h, 5740, 0);
    EXPECT_EQ(memory_read(buf, 17, h), 10);   // 17 asked at 5740: 10 copied
    EXPECT_EQ(memory_tell(h), 5750);
    EXPECT_EQ(buf[9], static_cast<uint8_t>(5749 * 7));
    EXPECT_EQ(memory_read(buf, 4, h), 0);     // at the end: nothing
    EXPECT_EQ(memory_tell(h), 5750);
    memory_seek(h, 100, 0);
    EXPECT_EQ(memory_read(buf, 0, h), 0);     // nothing asked, or less: nothing read, nowhere moved
    EXPECT_EQ(memory_read(buf, -5, h), 0);
    EXPECT_EQ(memory_tell(h), 100);

    const struct { int32_t from, offset; uint8_t origin; int32_t to; } seeks[] = {
        {100, 0, 2, 5750}, {100, 10, 2, 5750}, {5740, 23, 1, 5750}, {100, -50, 2, 5700},
        {100, 7, 1, 107}, {100, 9, 0, 9}, {100, 3, 3, 100}, {100, 99999, 0, 5750},
        {100, -200, 1, 0},  // before the start stops at the start
    };
    for (const auto& s : seeks) {
        memory_seek(h, s.from, 0);
        memory_seek(h, s.offset, s.origin);
        EXPECT_EQ(memory_tell(h), s.to) << s.from << " " << s.offset << " " << int(s.origin);
    }
    // A count that would overflow position + count is still cut at the end.
    memory_seek(h, 5000, 0);
    std::vector<uint8_t> big(800);
    EXPECT_EQ(memory_read(big.data(), INT32_MAX, h), 750);
    memory_close(h);
}

TEST(ModuleIo, IncompleteSetsFailEveryOpen)
{
    int32_t before = MemLiveBlocks();
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    ASSERT_TRUE(module_io_ready());
    ModuleStream* s = stream_open(nullptr);
    ASSERT_NE(s, nullptr);
    // The memory stream reports the size of the module actually embedded.
    stream_seek(s, 0, 2);
    EXPECT_EQ(stream_tell(s), ModuleDataSize());
    EXPECT_GT(ModuleDataSize(), 60);
    stream_seek(s, 0, 0);
    char magic[17];
    EXPECT_EQ(stream_read(magic, 17, s), 17);
    EXPECT_EQ(std::string(magic, 17), "Extended Module: ");
    stream_close(s);
    EXPECT_EQ(MemLiveBlocks(), before);

    // A set that lacks any one member is no set at all.
    const ModuleIo incomplete[] = {
        {nullptr, memory_close, memory_read, memory_seek, memory_tell},
        {memory_open, nullptr, memory_read, memory_seek, memory_tell},
        {memory_open, memory_close, nullptr, memory_seek, memory_tell},
        {memory_open, memory_close, memory_read, nullptr, memory_tell},
        {memory_open, memory_close, memory_read, memory_seek, nullptr},
    };
    for (int32_t registered = 1; registered >= 0; registered--) {
        // The null stream is harmless everywhere, with a set of callbacks or without.
        stream_close(nullptr);
        EXPECT_EQ(stream_read(magic, 4, nullptr), 0);
        EXPECT_EQ(stream_tell(nullptr), 0);
        stream_seek(nullptr, 4, 0);
        for (const ModuleIo& io : incomplete) {
            set_module_io(io.open, io.close, io.read, io.seek, io.tell);
            EXPECT_FALSE(module_io_ready()) << "member " << &io - incomplete;
            EXPECT_EQ(stream_open(nullptr), nullptr);
        }
    }
    // A complete set whose open fails: no stream, and nothing left allocated.
    set_module_io([](const void*) -> void* { return nullptr; }, memory_close, memory_read, memory_seek, memory_tell);
    EXPECT_EQ(stream_open(nullptr), nullptr);
    EXPECT_EQ(MemLiveBlocks(), before);
}
