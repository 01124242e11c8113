// module/stream.h -- the five module I/O callbacks, the stream layer the loader reads through,
// and the memory stream over the module embedded in the program.
#pragma once
#include <cstdint>

typedef void*   (*ModuleOpenFn)(const void* name);                      // handle, or null
typedef void    (*ModuleCloseFn)(void* handle);
typedef int32_t (*ModuleReadFn)(void* buffer, int32_t count, void* handle);  // bytes copied
typedef void    (*ModuleSeekFn)(void* handle, int32_t offset, uint8_t origin);
typedef int32_t (*ModuleTellFn)(void* handle);

struct ModuleIo {
    ModuleOpenFn  open;
    ModuleCloseFn close;
    ModuleReadFn  read;
    ModuleSeekFn  seek;
    ModuleTellFn  tell;
};

struct ModuleStream {
    void* handle;               // what the open callback returned
};

struct MemoryStream {
    int32_t        size;        // bytes in the image
    int32_t        position;    // 0..size
    const uint8_t* data;        // the image, read-only, owned by whoever made it
};

// All five non-null: stored. Any null: the set is cleared and every later open fails.
void set_module_io(ModuleOpenFn open, ModuleCloseFn close, ModuleReadFn read, ModuleSeekFn seek, ModuleTellFn tell);
bool module_io_ready();         // a complete callback set is registered

ModuleStream* stream_open(const void* name);
void          stream_close(ModuleStream* stream);
int32_t       stream_read(void* buffer, int32_t count, ModuleStream* stream);
void          stream_seek(ModuleStream* stream, int32_t offset, uint8_t origin);
int32_t       stream_tell(ModuleStream* stream);

// The memory stream over the embedded module. Name: ignored.
void*   memory_open(const void* name);
void    memory_close(void* handle);
int32_t memory_read(void* buffer, int32_t count, void* handle);
void    memory_seek(void* handle, int32_t offset, uint8_t origin);
int32_t memory_tell(void* handle);

// The same callbacks over any image (tools and tests): memory_open_image gives a handle that the
// other memory_* callbacks accept; memory_close frees it.
void*   memory_open_image(const uint8_t* data, int32_t size);
// Registers the memory callbacks with an open that serves this image (tools and tests); the image
// must outlive the opens, and the stream reads nothing of it after player_load has returned.
void    memory_serve_image(const uint8_t* data, int32_t size);
