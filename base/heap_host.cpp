// base/heap_host.cpp -- heap blocks from the C library, for the native builds and tools.
#include "base/heap.h"

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

// Unlike the program, which ends silently with exit code 0, a tool or test that runs out of heap
// says so and fails: a test cut short here must not pass.
void HeapExhausted()
{
    static const char message[] = "heap exhausted\n";
    ssize_t ignored = write(2, message, sizeof message - 1);
    (void)ignored;
    _exit(1);
}
