// tests/win/support/fake_d3d8.h -- a recording fake of IDirect3D8: an adapter described by a
// table of display modes and a few switches, and a log of the calls that decide the device.
#pragma once
#include <set>
#include <utility>
#include <vector>

#include <d3d8.h>

class FakeDirect3D8 : public IDirect3D8 {
public:
    // ---- the adapter ----
    std::vector<D3DDISPLAYMODE> modes;                 // what EnumAdapterModes reports, by index
    std::set<D3DFORMAT> fullscreenFormats;             // CheckDeviceType succeeds for these (empty: all)
    std::set<std::pair<D3DFORMAT, D3DFORMAT>> depthFormats;  // (display, depth) CheckDeviceFormat accepts
    std::set<std::pair<D3DFORMAT, D3DFORMAT>> depthMatches;  // (display, depth) CheckDepthStencilMatch accepts
    bool hardwareTnL = true;                           // D3DDEVCAPS_HWTRANSFORMANDLIGHT in DevCaps
    int  failingCreates = 0;                           // the first N CreateDevice calls fail
    IDirect3DDevice8* deviceToReturn = nullptr;        // what a successful CreateDevice hands out

    // ---- what was asked ----
    struct CreateCall {
        UINT adapter;
        D3DDEVTYPE type;
        HWND focus;
        DWORD behaviour;
        D3DPRESENT_PARAMETERS pp;
    };
    std::vector<CreateCall> creates;
    std::vector<D3DFORMAT> deviceTypeChecks;           // display formats given to CheckDeviceType
    int badArguments = 0;                              // calls with an unexpected adapter, type, usage...

    // Adds a 640 x 480 mode (or any size) usable with the given depth formats.
    void AddMode(D3DFORMAT format, UINT refresh, bool d32, bool d16, UINT width = 640, UINT height = 480);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDirect3D8
    HRESULT STDMETHODCALLTYPE RegisterSoftwareDevice(void*) override;
    UINT STDMETHODCALLTYPE GetAdapterCount() override;
    HRESULT STDMETHODCALLTYPE GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER8*) override;
    UINT STDMETHODCALLTYPE GetAdapterModeCount(UINT adapter) override;
    HRESULT STDMETHODCALLTYPE EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out) override;
    HRESULT STDMETHODCALLTYPE GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT backBuffer,
                                              BOOL windowed) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                                D3DRESOURCETYPE rtype, D3DFORMAT format) override;
    HRESULT STDMETHODCALLTYPE CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL,
                                                         D3DMULTISAMPLE_TYPE) override;
    HRESULT STDMETHODCALLTYPE CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                                     D3DFORMAT renderTarget, D3DFORMAT depth) override;
    HRESULT STDMETHODCALLTYPE GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps) override;
    HMONITOR STDMETHODCALLTYPE GetAdapterMonitor(UINT) override;
    HRESULT STDMETHODCALLTYPE CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behaviour,
                                           D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device) override;
};
