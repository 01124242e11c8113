// tests/win/support/fake_d3d8.cpp -- the recording fake of IDirect3D8.
#include "fake_d3d8.h"

void FakeDirect3D8::AddMode(D3DFORMAT format, UINT refresh, bool d32, bool d16, UINT width, UINT height)
{
    D3DDISPLAYMODE m = { width, height, refresh, format };
    modes.push_back(m);
    if (d32) { depthFormats.insert({ format, D3DFMT_D32 }); depthMatches.insert({ format, D3DFMT_D32 }); }
    if (d16) { depthFormats.insert({ format, D3DFMT_D16 }); depthMatches.insert({ format, D3DFMT_D16 }); }
}

HRESULT FakeDirect3D8::QueryInterface(REFIID, void**) { return E_NOINTERFACE; }
ULONG FakeDirect3D8::AddRef() { return 1; }
ULONG FakeDirect3D8::Release() { return 0; }
HRESULT FakeDirect3D8::RegisterSoftwareDevice(void*) { return D3DERR_INVALIDCALL; }
UINT FakeDirect3D8::GetAdapterCount() { return 1; }
HRESULT FakeDirect3D8::GetAdapterIdentifier(UINT, DWORD, D3DADAPTER_IDENTIFIER8*) { return D3DERR_INVALIDCALL; }

UINT FakeDirect3D8::GetAdapterModeCount(UINT adapter)
{
    if (adapter != D3DADAPTER_DEFAULT) badArguments++;
    return static_cast<UINT>(modes.size());
}

HRESULT FakeDirect3D8::EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out)
{
    if (adapter != D3DADAPTER_DEFAULT || mode >= modes.size()) { badArguments++; return D3DERR_INVALIDCALL; }
    *out = modes[mode];
    return D3D_OK;
}

HRESULT FakeDirect3D8::GetAdapterDisplayMode(UINT, D3DDISPLAYMODE*) { return D3DERR_INVALIDCALL; }

HRESULT FakeDirect3D8::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT backBuffer,
                                       BOOL windowed)
{
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || display != backBuffer || windowed) badArguments++;
    deviceTypeChecks.push_back(display);
    if (!fullscreenFormats.empty() && !fullscreenFormats.count(display)) return D3DERR_NOTAVAILABLE;
    return D3D_OK;
}

HRESULT FakeDirect3D8::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                         D3DRESOURCETYPE rtype, D3DFORMAT format)
{
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || usage != D3DUSAGE_DEPTHSTENCIL ||
        rtype != D3DRTYPE_SURFACE)
        badArguments++;
    return depthFormats.count({ adapterFormat, format }) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT FakeDirect3D8::CheckDeviceMultiSampleType(UINT, D3DDEVTYPE, D3DFORMAT, BOOL, D3DMULTISAMPLE_TYPE)
{
    return D3DERR_NOTAVAILABLE;
}

HRESULT FakeDirect3D8::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                              D3DFORMAT renderTarget, D3DFORMAT depth)
{
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL || renderTarget != adapterFormat) badArguments++;
    return depthMatches.count({ adapterFormat, depth }) ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT FakeDirect3D8::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps)
{
    if (adapter != D3DADAPTER_DEFAULT || type != D3DDEVTYPE_HAL) badArguments++;
    *caps = D3DCAPS8{};
    caps->DevCaps = D3DDEVCAPS_HWRASTERIZATION | (hardwareTnL ? D3DDEVCAPS_HWTRANSFORMANDLIGHT : 0);
    return D3D_OK;
}

HMONITOR FakeDirect3D8::GetAdapterMonitor(UINT) { return nullptr; }

HRESULT FakeDirect3D8::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD behaviour,
                                    D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device)
{
    creates.push_back({ adapter, type, focus, behaviour, *pp });
    if (static_cast<int>(creates.size()) <= failingCreates) {
        // A failing driver may leave junk in the out pointer; the caller must not trust it.
        *device = reinterpret_cast<IDirect3DDevice8*>(uintptr_t{ 0xBAD0 });
        return D3DERR_NOTAVAILABLE;
    }
    *device = deviceToReturn;
    return D3D_OK;
}
