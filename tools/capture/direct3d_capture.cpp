// tools/capture/direct3d_capture.cpp -- Direct3DCreate8 for the capture build: the system's
// Direct3D object, wrapped so that the device it creates reads every frame back before Present.
// The back buffer is copied into a system-memory image surface and locked there (GetFrontBuffer
// answers black under Wine), converted to 640 x 480 B, G, R, 0 and written out; then the frame is
// presented and the capture moves its clock and sound on (CaptureAfterPresent). Without video
// (QE_CAPTURE_VIDEO=none) nothing is read back.
#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "tools/capture/capture.h"
#include "tools/capture/forward_device.h"

namespace {

const UINT kWidth = 640;
const UINT kHeight = 480;

uint8_t g_frame[kWidth * kHeight * 4];

void Fail(const char* what, HRESULT hr)
{
    CaptureLog("capture: %s failed (0x%08lx)", what, static_cast<unsigned long>(hr));
    ExitProcess(5);
}

// One row of the locked copy into B, G, R, 0.
bool ConvertRow(D3DFORMAT format, const uint8_t* src, uint8_t* dst)
{
    switch (format) {
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8R8G8B8:
        for (UINT x = 0; x < kWidth; x++, src += 4, dst += 4) {
            dst[0] = src[0]; dst[1] = src[1]; dst[2] = src[2]; dst[3] = 0;
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

struct CaptureDevice : public ForwardDevice {
    IDirect3DSurface8* copy = nullptr;  // system memory, in the back buffer's format

    explicit CaptureDevice(IDirect3DDevice8* device) : ForwardDevice(device) {}

    void ReadBack()
    {
        IDirect3DSurface8* back = nullptr;
        HRESULT hr = inner->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
        if (FAILED(hr)) Fail("GetBackBuffer", hr);
        D3DSURFACE_DESC desc;
        back->GetDesc(&desc);
        if (desc.Width != kWidth || desc.Height != kHeight) {
            CaptureLog("capture: the back buffer is %ux%u, not 640x480", desc.Width, desc.Height);
            ExitProcess(5);
        }
        if (!copy && FAILED(hr = inner->CreateImageSurface(kWidth, kHeight, desc.Format, &copy)))
            Fail("CreateImageSurface", hr);
        if (FAILED(hr = inner->CopyRects(back, nullptr, 0, copy, nullptr))) Fail("CopyRects", hr);
        back->Release();
        D3DLOCKED_RECT locked;
        if (FAILED(hr = copy->LockRect(&locked, nullptr, D3DLOCK_READONLY))) Fail("LockRect", hr);
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits);
        for (UINT y = 0; y < kHeight; y++, row += locked.Pitch) {
            if (!ConvertRow(desc.Format, row, g_frame + y * kWidth * 4)) {
                CaptureLog("capture: back buffer format %d cannot be read", static_cast<int>(desc.Format));
                ExitProcess(5);
            }
        }
        copy->UnlockRect();
        CaptureVideoWrite(g_frame);
    }

    HRESULT STDMETHODCALLTYPE Present(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) override
    {
        if (g_capture.video && CaptureRecording()) ReadBack();
        HRESULT hr = inner->Present(src, dst, window, dirty);
        g_captureAllPresents++;
        CaptureAfterPresent();
        return hr;
    }
};

struct CaptureDirect3D : public IDirect3D8 {
    IDirect3D8* inner;
    explicit CaptureDirect3D(IDirect3D8* d3d) : inner(d3d) {}
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
            *out = new CaptureDevice(device);
        } else if (out) {
            *out = device;
        }
        return hr;
    }
};

}  // namespace

// Stands in for d3d8.dll's export: defined here, it keeps the import library's out of the link.
extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT sdkVersion)
{
    typedef IDirect3D8* (WINAPI * Create)(UINT);
    HMODULE module = LoadLibraryA("d3d8.dll");
    Create create = module ? reinterpret_cast<Create>(reinterpret_cast<void*>(GetProcAddress(module, "Direct3DCreate8"))) : nullptr;
    IDirect3D8* d3d = create ? create(sdkVersion) : nullptr;
    if (!d3d) {
        CaptureLog("capture: no Direct3D 8");
        return nullptr;
    }
    return new CaptureDirect3D(d3d);
}
