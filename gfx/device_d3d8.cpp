// gfx/device_d3d8.cpp -- picks a 640 x 480 full-screen mode with a depth buffer and creates the
// device on it. Main thread, once, during start-up.
#include "gfx/device.h"

#include "base/heap.h"

IDirect3D8*       g_d3d;
IDirect3DDevice8* g_device;

int32_t FindDepthFormat(D3DFORMAT format, uint32_t* depthKind)
{
    static const D3DFORMAT depthFormats[2] = { D3DFMT_D32, D3DFMT_D16 };  // kinds 1 and 2, in preference order
    for (uint32_t i = 0; i < 2; i++) {
        if (g_d3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, D3DUSAGE_DEPTHSTENCIL,
                                     D3DRTYPE_SURFACE, depthFormats[i]) == D3D_OK &&
            g_d3d->CheckDepthStencilMatch(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, format, format,
                                          depthFormats[i]) == D3D_OK) {
            *depthKind = i + 1;
            return 0;
        }
    }
    return -1;
}

// Keeps the list in ascending key order (signed compare). A node goes in front of the first node
// whose key is greater than or equal to its own, so of two equal keys the later mode is tried first.
static void InsertCandidate(ModeCandidate** head, ModeCandidate* node)
{
    ModeCandidate** link = head;
    while (*link && (*link)->sortKey < node->sortKey) link = &(*link)->next;
    node->next = *link;
    *link = node;
}

ModeCandidate* BuildModeCandidates()
{
    ModeCandidate* list = nullptr;
    int32_t count = static_cast<int32_t>(g_d3d->GetAdapterModeCount(D3DADAPTER_DEFAULT));
    for (int32_t i = 0; i < count; i++) {
        D3DDISPLAYMODE mode = {};
        g_d3d->EnumAdapterModes(D3DADAPTER_DEFAULT, i, &mode);  // result not tested
        if (mode.Width != 640 || mode.Height != 480) continue;
        if (mode.Format < D3DFMT_R8G8B8 || mode.Format > D3DFMT_A4R4G4B4) continue;  // 20..26 only
        if (g_d3d->CheckDeviceType(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, mode.Format, FALSE) != D3D_OK)
            continue;

        D3DCAPS8 caps = {};
        g_d3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps);  // result not tested
        uint32_t behaviour;
        uint32_t softwareBit;
        if (caps.DevCaps & D3DDEVCAPS_HWTRANSFORMANDLIGHT) {
            behaviour = D3DCREATE_HARDWARE_VERTEXPROCESSING;
            softwareBit = 0;
        } else {
            behaviour = D3DCREATE_SOFTWARE_VERTEXPROCESSING;
            softwareBit = 0x80000000u;
        }

        uint32_t depthKind;
        if (FindDepthFormat(mode.Format, &depthKind) != 0) continue;
        if (mode.RefreshRate > 255) continue;  // the key keeps only 8 bits of it

        ModeCandidate* node = static_cast<ModeCandidate*>(MemAlloc(sizeof(ModeCandidate)));
        node->width          = mode.Width;
        node->height         = mode.Height;
        node->refreshRate    = mode.RefreshRate;
        node->format         = mode.Format;
        node->behaviourFlags = behaviour;
        node->sortKey        = static_cast<int32_t>(softwareBit | depthKind << 16 |
                                                    static_cast<uint32_t>(mode.Format) << 8 | mode.RefreshRate);
        node->depthKind      = depthKind;
        InsertCandidate(&list, node);
    }
    return list;
}

void FreeModeCandidates(ModeCandidate* list)
{
    while (list) {
        ModeCandidate* next = list->next;
        MemFree(list);
        list = next;
    }
}

bool CreateDeviceFromModes(HWND window)
{
    ModeCandidate* list = BuildModeCandidates();
    for (ModeCandidate* node = list; node; node = node->next) {
        D3DPRESENT_PARAMETERS pp = {};
        pp.BackBufferWidth                 = 640;
        pp.BackBufferHeight                = 480;
        pp.BackBufferFormat                = node->format;
        pp.BackBufferCount                 = 0;  // one back buffer
        pp.MultiSampleType                 = D3DMULTISAMPLE_NONE;
        pp.SwapEffect                      = D3DSWAPEFFECT_DISCARD;
        pp.hDeviceWindow                   = nullptr;  // the focus window
        pp.Windowed                        = FALSE;
        pp.EnableAutoDepthStencil          = TRUE;
        pp.AutoDepthStencilFormat          = node->depthKind == DEPTH_KIND_D32 ? D3DFMT_D32 : D3DFMT_D16;
        pp.Flags                           = 0;
        pp.FullScreen_RefreshRateInHz      = node->refreshRate;  // 0: the default rate (D3DPRESENT_RATE_DEFAULT, not in mingw)
        pp.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_DEFAULT;
        if (g_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window, node->behaviourFlags, &pp,
                                &g_device) == D3D_OK) {
            FreeModeCandidates(list);
            return true;
        }
        // A failed attempt may have written the out pointer; the device global stays null until
        // one succeeds, so the shutdown never releases a device that was not made.
        g_device = nullptr;
    }
    FreeModeCandidates(list);
    return false;
}

bool InitDirect3D(HWND window)
{
    g_d3d = Direct3DCreate8(120);  // the DirectX 8.0 SDK version
    return g_d3d && CreateDeviceFromModes(window);
}
