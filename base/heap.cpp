// base/heap.cpp -- zeroed heap blocks with 16-byte zero margins, and a count of live blocks.
// Portable; called from the main thread and from the audio thread's player code.
#include "base/heap.h"

#include <atomic>
#include <cstring>

static std::atomic<int32_t> g_heapLiveBlocks{0};  // blocks handed out and not yet freed

void* MemAlloc(size_t bytes)
{
    // A request so large that the margins would overflow cannot be met either.
    if (bytes > SIZE_MAX - 2 * HEAP_MARGIN) HeapExhausted();
    uint8_t* block = static_cast<uint8_t*>(HeapBlockAlloc(bytes + 2 * HEAP_MARGIN));
    if (!block) HeapExhausted();
    g_heapLiveBlocks.fetch_add(1, std::memory_order_relaxed);
    return block + HEAP_MARGIN;
}

void* MemCalloc(size_t count, size_t size)
{
    if (size != 0 && count > SIZE_MAX / size) HeapExhausted();
    void* p = MemAlloc(count * size);
    memset(p, 0, count * size);
    return p;
}

void MemFree(void* p)
{
    g_heapLiveBlocks.fetch_sub(1, std::memory_order_relaxed);
    HeapBlockFree(static_cast<uint8_t*>(p) - HEAP_MARGIN);
}

int32_t MemLiveBlocks()
{
    return g_heapLiveBlocks.load(std::memory_order_relaxed);
}
