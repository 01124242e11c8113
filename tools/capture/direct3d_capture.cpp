// tools/capture/direct3d_capture.cpp -- Direct3DCreate8 for the capture build: the system's
// Direct3D object, wrapped so that the device it creates reads every frame back before Present.
// The back buffer is read (back_buffer.cpp, shared with the probe build) into the next slot of the
// frames going out (capture_main.cpp writes them from a thread of its own); then the frame is
// presented, to the display once a second, and the capture moves its clock and sound on
// (CaptureAfterPresent). Without video (QE_CAPTURE_VIDEO=none) nothing is read back.
#include <windows.h>
#include <d3d8.h>

#include "tools/capture/back_buffer.h"
#include "tools/capture/capture.h"
#include "tools/capture/forward_device.h"

namespace {

struct CaptureDevice : public ForwardDevice {
    IDirect3DSurface8* copy = nullptr;  // system memory, in the back buffer's format

    explicit CaptureDevice(IDirect3DDevice8* device) : ForwardDevice(device) {}

    void ReadBack()
    {
        char why[96];
        if (!ReadBackBuffer(inner, &copy, CaptureVideoSlot(), why)) {
            CaptureLog("capture: %s", why);
            ExitProcess(5);
        }
        CaptureVideoQueue();
    }

    HRESULT STDMETHODCALLTYPE Present(const RECT* src, const RECT* dst, HWND window, const RGNDATA* dirty) override
    {
        if (g_capture.video && CaptureRecording()) ReadBack();
        // Only the first frame of each second of show reaches the display: the frames are read
        // from the back buffer, and the copy to the window is a fifth of the capture's time. What
        // Present returns is ignored by the program.
        const bool shown = g_captureAllPresents % g_capture.fps == 0;
        HRESULT hr = shown ? inner->Present(src, dst, window, dirty) : D3D_OK;
        g_captureAllPresents++;
        CaptureAfterPresent();
        return hr;
    }
};

IDirect3DDevice8* WrapDevice(IDirect3DDevice8* device)
{
    return new CaptureDevice(device);
}

}  // namespace

// Stands in for d3d8.dll's export: defined here, it keeps the import library's out of the link.
extern "C" IDirect3D8* WINAPI Direct3DCreate8(UINT sdkVersion)
{
    IDirect3D8* d3d = WrapDirect3D(sdkVersion, WrapDevice);
    if (!d3d) CaptureLog("capture: no Direct3D 8");
    return d3d;
}
