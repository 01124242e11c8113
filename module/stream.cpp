// module/stream.cpp -- the registered module I/O callbacks, the stream layer and the memory stream.
// Portable; runs on the main thread while the module loads.
#include "module/stream.h"

#include <cstring>

#include "assets/assets.h"
#include "base/heap.h"

static ModuleIo g_moduleIo;  // all set, or all null

void set_module_io(ModuleOpenFn open, ModuleCloseFn close, ModuleReadFn read, ModuleSeekFn seek, ModuleTellFn tell)
{
    if (open && close && read && seek && tell) {
        g_moduleIo = ModuleIo{open, close, read, seek, tell};
    } else {
        g_moduleIo = ModuleIo{};
    }
}

bool module_io_ready()
{
    return g_moduleIo.open != nullptr;
}

ModuleStream* stream_open(const void* name)
{
    if (!module_io_ready()) return nullptr;
    ModuleStream* s = static_cast<ModuleStream*>(MemAlloc(sizeof(ModuleStream)));
    s->handle = g_moduleIo.open(name);
    if (!s->handle) {
        MemFree(s);
        return nullptr;
    }
    return s;
}

void stream_close(ModuleStream* stream)
{
    if (!stream) return;
    if (g_moduleIo.close) g_moduleIo.close(stream->handle);
    MemFree(stream);
}

int32_t stream_read(void* buffer, int32_t count, ModuleStream* stream)
{
    if (!stream || !g_moduleIo.read) return 0;
    return g_moduleIo.read(buffer, count, stream->handle);
}

void stream_seek(ModuleStream* stream, int32_t offset, uint8_t origin)
{
    if (!stream || !g_moduleIo.seek) return;
    g_moduleIo.seek(stream->handle, offset, origin);
}

int32_t stream_tell(ModuleStream* stream)
{
    if (!stream || !g_moduleIo.tell) return 0;
    return g_moduleIo.tell(stream->handle);
}

// ---- memory stream ---------------------------------------------------------------------------

void* memory_open_image(const uint8_t* data, int32_t size)
{
    MemoryStream* m = static_cast<MemoryStream*>(MemAlloc(sizeof(MemoryStream)));
    m->size = size < 0 ? 0 : size;
    m->position = 0;
    m->data = data;
    return m;
}

static const uint8_t* g_servedImage;  // what memory_serve_image registered
static int32_t        g_servedSize;   // bytes

static void* memory_open_served(const void*) { return memory_open_image(g_servedImage, g_servedSize); }

void memory_serve_image(const uint8_t* data, int32_t size)
{
    g_servedImage = data;
    g_servedSize = size;
    set_module_io(memory_open_served, memory_close, memory_read, memory_seek, memory_tell);
}

void* memory_open(const void* name)
{
    return memory_open_image(g_moduleData, ModuleDataSize());
}

void memory_close(void* handle)
{
    if (handle) MemFree(handle);
}

int32_t memory_read(void* buffer, int32_t count, void* handle)
{
    MemoryStream* m = static_cast<MemoryStream*>(handle);
    if (count <= 0) return 0;
    // Reads are cut at the end of the image (computed without overflowing position + count).
    if (count >= m->size - m->position) count = m->size - m->position;
    // An empty image may have no data pointer at all; nothing is copied from it.
    if (count > 0) memcpy(buffer, m->data + m->position, static_cast<size_t>(count));
    m->position += count;
    return count;
}

void memory_seek(void* handle, int32_t offset, uint8_t origin)
{
    MemoryStream* m = static_cast<MemoryStream*>(handle);
    int64_t target;
    switch (origin) {
    case 0: target = offset; break;
    case 1: target = int64_t{m->position} + offset; break;
    case 2: target = int64_t{m->size} + offset; break;
    default: return;
    }
    // Past the end stops at the end; before the start stops at the start, so the position always
    // names a byte of the image (or its end).
    if (target > m->size) target = m->size;
    if (target < 0) target = 0;
    m->position = static_cast<int32_t>(target);
}

int32_t memory_tell(void* handle)
{
    return static_cast<MemoryStream*>(handle)->position;
}
