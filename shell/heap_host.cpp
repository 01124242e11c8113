// shell/heap_host.cpp -- heap blocks from the C library, for the native builds and tools.
#include "shell/heap.h"

#include <cstdlib>
#include <unistd.h>

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
    _exit(0);
}
