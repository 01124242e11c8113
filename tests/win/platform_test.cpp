// The platform boundary under Wine: heap blocks from the process heap, the performance counter.
#include <gtest/gtest.h>

#include <windows.h>

#include "base/frame_clock.h"
#include "base/heap.h"

TEST(PlatformWin32, HeapBlocksComeFromTheProcessHeapZeroed)
{
    int32_t before = MemLiveBlocks();
    uint8_t* p = static_cast<uint8_t*>(MemAlloc(100));
    for (int i = -16; i < 116; i++) ASSERT_EQ(p[i], 0);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, p - 16));
    MemFree(p);
    EXPECT_EQ(MemLiveBlocks(), before);
}

TEST(PlatformWin32, FrameClockMeasuresASleep)
{
    // The frame time lies between the sleep and the time measured around reset and tick, however
    // long a loaded machine makes the sleep.
    LARGE_INTEGER frequency, before, after;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&before);
    FrameClockReset();
    Sleep(100);  // the interval being measured, not a wait
    FrameClockTick();
    QueryPerformanceCounter(&after);
    const double around = static_cast<double>(after.QuadPart - before.QuadPart) / static_cast<double>(frequency.QuadPart);
    EXPECT_GT(g_frameTime, 0.09f);
    EXPECT_LE(g_frameTime, around + 1e-4);
}
