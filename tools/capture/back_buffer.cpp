// tools/capture/back_buffer.cpp -- the Direct3D wrapper and the back buffer's read-back that the
// capture build and the probe build share (back_buffer.h).
#include "tools/capture/back_buffer.h"

#include <cstdio>
#include <cstring>

namespace {

const UINT kWidth = 640;
const UINT kHeight = 480;

// One row of the locked copy into B, G, R, 0.
bool ConvertRow(D3DFORMAT format, const uint8_t* src, uint8_t* dst)
{
    switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
        // A word a pixel rather than four bytes: little-endian B, G, R, X, the top byte cleared.
        for (UINT x = 0; x < kWidth; x++, src += 4, dst += 4) {
            uint32_t v;
            std::memcpy(&v, src, 4);
            v &= 0x00ffffffu;
            std::memcpy(dst, &v, 4);
        }
        return true;
    case D3DFMT_R5G6B5:
        for (UINT x = 0; x < kWidth; x++, src += 2, dst += 4) {
            const uint32_t v = src[0] | src[1] << 8;
            const uint32_t r = v >> 11, g = v >> 5 & 63, b = v & 31;
            dst[0] = static_cast<uint8_t>(b << 3 | b >> 2);
            dst[1] = static_cast<uint8_t>(g << 2 | g >> 4);
            dst[2] = static_cast<uint8_t>(r << 3 | r >> 2);
            dst[3] = 0;
        }
        return true;
    case D3DFMT_X1R5G5B5:
    case D3DFMT_A1R5G5B5:
        for (UINT x = 0; x < kWidth; x++, src += 2, dst += 4) {
            const uint32_t v = src[0] | src[1] << 8;
            const uint32_t r = v >> 10 & 31, g = v >> 5 & 31, b = v & 31;
            dst[0] = static_cast<uint8_t>(b << 3 | b >> 2);
            dst[1] = static_cast<uint8_t>(g << 3 | g >> 2);
            dst[2] = static_cast<uint8_t>(r << 3 | r >> 2);
            dst[3] = 0;
        }
        return true;
    default:
        return false;
    }
}

bool Failed(const char* what, HRESULT hr, char (&why)[96])
{
    if (SUCCEEDED(hr)) return false;
    std::snprintf(why, sizeof why, "%s failed (0x%08lx)", what, static_cast<unsigned long>(hr));
    return true;
}

IDirect3DDevice8* (*g_wrapDevice)(IDirect3DDevice8*);

struct WrappedDirect3D : public IDirect3D8 {
    IDirect3D8* inner;
    explicit WrappedDirect3D(IDirect3D8* d3d) : inner(d3d) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override { return inner->QueryInterface(riid, out); }
    ULONG STDMETHODCALLTYPE AddRef() override { return inner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return inner->Release(); }
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void* init) override { return inner->RegisterSoftwareDevice(init); }
    UINT STDMETHODCALLTYPE GetAdapterCount() override { return inner->GetAdapterCount(); }
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT a, DWORD f, D3DADAPTER_IDENTIFIER8* id) override { return inner->GetAdapterIdentifier(a, f, id); }
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT a) override { return inner->GetAdapterModeCount(a); }
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT a, UINT m, D3DDISPLAYMODE* mode) override { return inner->EnumAdapterModes(a, m, mode); }
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT a, D3DDISPLAYMODE* mode) override { return inner->GetAdapterDisplayMode(a, mode); }
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT a, D3DDEVTYPE t, D3DFORMAT d, D3DFORMAT b, WINBOOL w) override { return inner->CheckDeviceType(a, t, d, b, w); }
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT a, D3DDEVTYPE t, D3DFORMAT af, DWORD u, D3DRESOURCETYPE r, D3DFORMAT c) override { return inner->CheckDeviceFormat(a, t, af, u, r, c); }
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT a, D3DDEVTYPE t, D3DFORMAT s, WINBOOL w, D3DMULTISAMPLE_TYPE m) override { return inner->CheckDeviceMultiSampleType(a, t, s, w, m); }
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT a, D3DDEVTYPE t, D3DFORMAT af, D3DFORMAT rf, D3DFORMAT df) override { return inner->CheckDepthStencilMatch(a, t, af, rf, df); }
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT a, D3DDEVTYPE t, D3DCAPS8* caps) override { return inner->GetDeviceCaps(a, t, caps); }
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT a) override { return inner->GetAdapterMonitor(a); }
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT a, D3DDEVTYPE t, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                                           IDirect3DDevice8** out) override
    {
        IDirect3DDevice8* device = nullptr;
        HRESULT hr = inner->CreateDevice(a, t, focus, flags, pp, &device);
        if (SUCCEEDED(hr) && device) {
            *out = g_wrapDevice(device);
        } else if (out) {
            *out = device;
        }
        return hr;
    }
};

}  // namespace

IDirect3D8* WrapDirect3D(UINT sdkVersion, IDirect3DDevice8* (*wrap)(IDirect3DDevice8* device))
{
    typedef IDirect3D8* (WINAPI * Create)(UINT);
    HMODULE module = LoadLibraryA("d3d8.dll");
    Create create = module ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(module, "Direct3DCreate8"))) : nullptr;
    IDirect3D8* d3d = create ? create(sdkVersion) : nullptr;
    if (!d3d) return nullptr;
    g_wrapDevice = wrap;
    return new WrappedDirect3D(d3d);
}

bool ReadBackBuffer(IDirect3DDevice8* device, IDirect3DSurface8** copy, uint8_t* frame, char (&why)[96])
{
    IDirect3DSurface8* back = nullptr;
    if (Failed("GetBackBuffer", device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), why)) return false;
    D3DSURFACE_DESC desc;
    back->GetDesc(&desc);
    bool ok = desc.Width == kWidth && desc.Height == kHeight;
    if (!ok) std::snprintf(why, sizeof why, "the back buffer is %ux%u, not 640x480", desc.Width, desc.Height);
    ok = ok && (*copy || !Failed("CreateImageSurface", device->CreateImageSurface(kWidth, kHeight, desc.Format, copy), why)) &&
         !Failed("CopyRects", device->CopyRects(back, nullptr, 0, *copy, nullptr), why);
    back->Release();
    D3DLOCKED_RECT locked;
    if (!ok || Failed("LockRect", (*copy)->LockRect(&locked, nullptr, D3DLOCK_READONLY), why)) return false;
    const uint8_t* row = static_cast<const uint8_t*>(locked.pBits);
    for (UINT y = 0; y < kHeight && ok; y++, row += locked.Pitch) ok = ConvertRow(desc.Format, row, frame + y * kWidth * 4);
    (*copy)->UnlockRect();
    if (!ok) std::snprintf(why, sizeof why, "back buffer format %d cannot be read", static_cast<int>(desc.Format));
    return ok;
}
