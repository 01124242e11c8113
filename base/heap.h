// base/heap.h -- the only way the program allocates memory.
// Every block is zero-filled and carries 16 zero bytes before and after the caller's bytes, so a
// reader may look up to 16 bytes past either end and see zeros. Portable; the raw blocks come from
// the platform (heap_win32.cpp: the process heap; heap_host.cpp: the C library).
#pragma once
#include <cstddef>
#include <cstdint>

enum { HEAP_MARGIN = 16 };  // zero bytes on each side of every block

void*   MemAlloc(size_t bytes);                 // never null: on exhaustion the process ends silently
void*   MemCalloc(size_t count, size_t size);   // MemAlloc(count * size), cleared once more
void    MemFree(void* p);                       // only pointers from MemAlloc/MemCalloc, never null
int32_t MemLiveBlocks();                        // blocks allocated and not yet freed

// Platform boundary.
void* HeapBlockAlloc(size_t bytes);             // zero-filled block, or null when the heap is exhausted
void  HeapBlockFree(void* block);
[[noreturn]] void HeapExhausted();              // ends the process at once: exit code 0 (the program),
                                                // 1 with a message (native tools and tests)
