// base/heap_web.cpp -- heap blocks from the WebAssembly heap (the C library's allocator).
#include "base/heap.h"

#include <windows.h>

#include <cstdlib>

void* HeapBlockAlloc(size_t bytes)
{
    return calloc(1, bytes);
}

void HeapBlockFree(void* block)
{
    free(block);
}

void HeapExhausted()
{
    // As on Windows: the run just ends, and the page goes back to its start screen.
    ExitProcess(0);
}
