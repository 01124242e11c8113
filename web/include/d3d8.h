// web/include/d3d8.h -- the part of Direct3D 8 the show draws with, for the browser build.
// Exactly the calls, states, formats and primitive types the show uses, with Direct3D's values;
// web/d3d8_webgl.cpp implements them over WebGL 2. A call the show does not make is not declared,
// so it cannot compile; a state or format outside the set fails loudly in a debug build.
#pragma once
#include <windows.h>

enum D3DFORMAT {
    D3DFMT_UNKNOWN = 0, D3DFMT_R8G8B8 = 20, D3DFMT_A8R8G8B8 = 21, D3DFMT_X8R8G8B8 = 22, D3DFMT_R5G6B5 = 23,
    D3DFMT_X1R5G5B5 = 24, D3DFMT_A1R5G5B5 = 25, D3DFMT_A4R4G4B4 = 26, D3DFMT_D32 = 71, D3DFMT_D16 = 80,
    D3DFMT_INDEX16 = 101,
    D3DFMT_DXT1 = 0x31545844, D3DFMT_DXT2 = 0x32545844, D3DFMT_DXT3 = 0x33545844, D3DFMT_DXT4 = 0x34545844,
    D3DFMT_DXT5 = 0x35545844,
};
enum D3DDEVTYPE { D3DDEVTYPE_HAL = 1 };
enum D3DRESOURCETYPE { D3DRTYPE_SURFACE = 1 };
enum D3DMULTISAMPLE_TYPE { D3DMULTISAMPLE_NONE = 0 };
enum D3DSWAPEFFECT { D3DSWAPEFFECT_DISCARD = 1 };
enum D3DPOOL { D3DPOOL_DEFAULT = 0, D3DPOOL_MANAGED = 1, D3DPOOL_SYSTEMMEM = 2 };
enum D3DPRIMITIVETYPE { D3DPT_POINTLIST = 1, D3DPT_TRIANGLELIST = 4, D3DPT_TRIANGLESTRIP = 5 };
enum D3DTRANSFORMSTATETYPE { D3DTS_VIEW = 2, D3DTS_PROJECTION = 3, D3DTS_WORLD = 256 };
enum D3DRENDERSTATETYPE {
    D3DRS_ZENABLE = 7, D3DRS_SHADEMODE = 9, D3DRS_ZWRITEENABLE = 14, D3DRS_SRCBLEND = 19, D3DRS_DESTBLEND = 20,
    D3DRS_CULLMODE = 22, D3DRS_ZFUNC = 23, D3DRS_ALPHABLENDENABLE = 27, D3DRS_LIGHTING = 137,
};
enum D3DTEXTURESTAGESTATETYPE {
    D3DTSS_ALPHAOP = 4, D3DTSS_ADDRESSU = 13, D3DTSS_ADDRESSV = 14, D3DTSS_MAGFILTER = 16, D3DTSS_MINFILTER = 17,
    D3DTSS_MIPFILTER = 18,
};
enum { D3DSHADE_FLAT = 1, D3DSHADE_GOURAUD = 2 };
enum { D3DBLEND_ONE = 2, D3DBLEND_SRCALPHA = 5, D3DBLEND_INVSRCALPHA = 6 };
enum { D3DCULL_NONE = 1, D3DCULL_CW = 2, D3DCULL_CCW = 3 };
enum { D3DCMP_LESSEQUAL = 4 };
enum { D3DTOP_SELECTARG1 = 2, D3DTOP_MODULATE = 4 };
enum { D3DTADDRESS_WRAP = 1, D3DTADDRESS_CLAMP = 3 };
enum { D3DTEXF_POINT = 1, D3DTEXF_LINEAR = 2 };
enum : DWORD {
    D3DFVF_XYZ = 0x002, D3DFVF_XYZRHW = 0x004, D3DFVF_DIFFUSE = 0x040, D3DFVF_TEX1 = 0x100,
    D3DCLEAR_TARGET = 1, D3DCLEAR_ZBUFFER = 2,
    D3DUSAGE_DEPTHSTENCIL = 2, D3DUSAGE_WRITEONLY = 8, D3DUSAGE_POINTS = 0x40, D3DUSAGE_DYNAMIC = 0x200,
    D3DLOCK_READONLY = 0x10, D3DLOCK_NOOVERWRITE = 0x1000, D3DLOCK_DISCARD = 0x2000,
    D3DCREATE_SOFTWARE_VERTEXPROCESSING = 0x20, D3DCREATE_HARDWARE_VERTEXPROCESSING = 0x40,
    D3DDEVCAPS_HWTRANSFORMANDLIGHT = 0x10000, D3DPRESENT_INTERVAL_DEFAULT = 0,
};
enum { D3DADAPTER_DEFAULT = 0, D3D_OK = 0 };
enum : HRESULT { D3DERR_INVALIDCALL = static_cast<HRESULT>(0x8876086Cu), D3DERR_NOTAVAILABLE = static_cast<HRESULT>(0x8876086Au) };

struct D3DMATRIX { float m[4][4]; };
struct D3DVIEWPORT8 { DWORD X, Y, Width, Height; float MinZ, MaxZ; };
struct D3DLOCKED_RECT { INT Pitch; void* pBits; };
struct D3DDISPLAYMODE { UINT Width, Height, RefreshRate; D3DFORMAT Format; };
struct D3DSURFACE_DESC {
    D3DFORMAT Format; D3DRESOURCETYPE Type; DWORD Usage; D3DPOOL Pool; UINT Size;
    D3DMULTISAMPLE_TYPE MultiSampleType; UINT Width, Height;
};
struct D3DCAPS8 { DWORD DevCaps; DWORD MaxTextureWidth, MaxTextureHeight; };
struct D3DPRESENT_PARAMETERS {
    UINT BackBufferWidth, BackBufferHeight; D3DFORMAT BackBufferFormat; UINT BackBufferCount;
    D3DMULTISAMPLE_TYPE MultiSampleType; D3DSWAPEFFECT SwapEffect; HWND hDeviceWindow; BOOL Windowed;
    BOOL EnableAutoDepthStencil; D3DFORMAT AutoDepthStencilFormat; DWORD Flags;
    UINT FullScreen_RefreshRateInHz, FullScreen_PresentationInterval;
};

struct IDirect3DTexture8;

// A texture's one level (the show makes no mipmaps).
struct IDirect3DSurface8 {
    IDirect3DTexture8* owner;
    ULONG   Release();
    HRESULT GetDesc(D3DSURFACE_DESC* desc);
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT UnlockRect();
};

struct IDirect3DTexture8 {
    ULONG     refs;
    UINT      width, height;
    D3DFORMAT format;
    D3DPOOL   pool;
    uint8_t*  bits;         // the level in the Direct3D format (system memory copy)
    uint32_t  gl;           // the WebGL texture; 0 in the system-memory pool
    RECT      dirty;        // rows and columns locked since the last upload; empty: none
    IDirect3DSurface8 level;

    ULONG   Release();
    DWORD   GetLevelCount();
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surface);
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT UnlockRect(UINT level);
};

struct IDirect3DVertexBuffer8 {
    UINT     bytes;
    uint8_t* data;
    uint32_t gl;            // the WebGL buffer
    bool     dirty;         // written since the last upload
    ULONG   Release();
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT Unlock();
};

struct IDirect3DIndexBuffer8 {
    UINT     bytes;
    uint8_t* data;
    uint32_t gl;
    bool     dirty;
    ULONG   Release();
    HRESULT Lock(UINT offset, UINT size, BYTE** data, DWORD flags);
    HRESULT Unlock();
};

struct IDirect3DDevice8 {
    ULONG   Release();
    HRESULT GetDeviceCaps(D3DCAPS8* caps);
    HRESULT Clear(DWORD count, const void* rects, DWORD flags, DWORD colour, float z, DWORD stencil);
    HRESULT BeginScene();
    HRESULT EndScene();
    HRESULT Present(const RECT* src, const RECT* dst, HWND window, const void* dirty);
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture8** texture);
    HRESULT CreateVertexBuffer(UINT bytes, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer8** buffer);
    HRESULT CreateIndexBuffer(UINT bytes, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer8** buffer);
    HRESULT UpdateTexture(IDirect3DTexture8* source, IDirect3DTexture8* destination);
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value);
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value);
    HRESULT SetTexture(DWORD stage, IDirect3DTexture8* texture);
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix);
    HRESULT GetViewport(D3DVIEWPORT8* viewport);
    HRESULT SetViewport(const D3DVIEWPORT8* viewport);
    HRESULT SetVertexShader(DWORD fvf);
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride);
    HRESULT SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertex);
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count);
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride);
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices, UINT startIndex, UINT count);
};

struct IDirect3D8 {
    ULONG   Release();
    UINT    GetAdapterModeCount(UINT adapter);
    HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* out);
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT back, BOOL windowed);
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, DWORD usage, D3DRESOURCETYPE kind,
                              D3DFORMAT format);
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE type, D3DFORMAT display, D3DFORMAT target, D3DFORMAT depth);
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS8* caps);
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags, D3DPRESENT_PARAMETERS* pp,
                         IDirect3DDevice8** device);
};

IDirect3D8* Direct3DCreate8(UINT sdkVersion);
