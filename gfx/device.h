// gfx/device.h -- the Direct3D 8 object and the one full-screen 640 x 480 device.
// Windows only (device_d3d8.cpp). The mode is chosen without asking anybody: the adapter's
// 640 x 480 modes that pass fixed tests are ordered by a packed key and tried in turn.
#pragma once
#include <cstdint>

#include <d3d8.h>

extern IDirect3D8*       g_d3d;     // from Direct3DCreate8; null if that failed
extern IDirect3DDevice8* g_device;  // the device; null until CreateDevice succeeds

enum {
    DEPTH_KIND_D32 = 1,             // D3DFMT_D32 depth buffer
    DEPTH_KIND_D16 = 2,             // D3DFMT_D16 depth buffer
};

// One usable display mode; a list of these lives only while the device is being made.
struct ModeCandidate {
    uint32_t       width;           // always 640
    uint32_t       height;          // always 480
    uint32_t       refreshRate;     // Hz, 0..255; 0 = the adapter's default
    D3DFORMAT      format;          // display and back-buffer format, 20..26
    uint32_t       behaviourFlags;  // D3DCREATE_HARDWARE_ or D3DCREATE_SOFTWARE_VERTEXPROCESSING
    int32_t        sortKey;         // bit 31 software VP, 16..23 depth kind, 8..15 format, 0..7 refresh
    uint32_t       depthKind;       // DEPTH_KIND_D32 or DEPTH_KIND_D16
    ModeCandidate* next;            // null at the tail
};

// Makes g_d3d and g_device, full screen on `window` (also the focus window). False when no device
// can be made; the caller then shuts down, releasing whatever was made.
bool InitDirect3D(HWND window);

// 0 and *depthKind set when display format `format` takes a D32 (preferred) or D16 depth buffer
// on g_d3d; -1 and *depthKind untouched otherwise.
int32_t FindDepthFormat(D3DFORMAT format, uint32_t* depthKind);

// The testable heart of InitDirect3D, on g_d3d and the given window: the candidate list, in the order the
// modes are tried (null when no mode qualifies), and the attempt to create a device from it.
ModeCandidate* BuildModeCandidates();
void           FreeModeCandidates(ModeCandidate* list);
bool           CreateDeviceFromModes(HWND window);    // true: g_device is set; false: no mode or no device
