// base/heap_win32.cpp -- heap blocks from the process heap.
#include "base/heap.h"

#include <windows.h>

void* HeapBlockAlloc(size_t bytes)
{
    return HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes);
}

void HeapBlockFree(void* block)
{
    HeapFree(GetProcessHeap(), 0, block);
}

void HeapExhausted()
{
    // The program shows no messages and has no failure exit code: it just ends.
    ExitProcess(0);
}
