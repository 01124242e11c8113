// tests/win/support/recording_device.h -- a recording fake of IDirect3DDevice8 for tests that must
// see the exact calls: it keeps the render states, stage-0 states, viewport, texture and vertex
// format as a device would, logs every state change, and snapshots all of them at each draw.
// Buffers are real memory; textures are objects that count their references. Windows tests only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "d3d8_stubs.h"

namespace recording {

// One level of 16- or 32-bit pixels (or DXT1 blocks) in memory. Rows are padded to a pitch wider
// than the data and 128 bytes of 0xCD follow the level, so a copy that ignores the pitch or the
// level's size shows.
class FakeSurface final : public StubSurface {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect() override { return D3D_OK; }
    std::vector<uint8_t> pixels;
    UINT      width = 0, height = 0, pitch = 0;
    UINT      size = 0;               // bytes of the level (the DXT1 blocks, or pitch x height)
    D3DFORMAT format = D3DFMT_UNKNOWN;
    LONG      refs = 1;
    bool      failLock = false;
};

// A texture of one level, or of the whole chain down to 1 x 1 when level count 0 was asked for.
class FakeTexture final : public StubTexture {
public:
    ~FakeTexture() { for (FakeTexture* t : below) delete t; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    DWORD STDMETHODCALLTYPE GetLevelCount() override { return static_cast<DWORD>(1 + below.size()); }
    HRESULT STDMETHODCALLTYPE GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT STDMETHODCALLTYPE GetSurfaceLevel(UINT level, IDirect3DSurface8** out) override;
    HRESULT STDMETHODCALLTYPE LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE UnlockRect(UINT level) override { return D3D_OK; }
    FakeSurface* Level(UINT level) { return level == 0 ? &surface : level <= below.size() ? &below[level - 1]->surface : nullptr; }
    FakeSurface surface;
    std::vector<FakeTexture*> below;  // levels 1, 2, ... of a chain
    LONG        refs = 1;
};

class FakeVertexBuffer final : public StubVertexBuffer {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    std::vector<uint8_t> bytes;
    DWORD usage = 0, fvf = 0;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    int  locks = 0;
    bool locked = false;
    LONG refs = 1;
};

class FakeIndexBuffer final : public StubIndexBuffer {
public:
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override { return --refs; }
    HRESULT STDMETHODCALLTYPE Lock(UINT offset, UINT size, BYTE** data, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Unlock() override;
    std::vector<uint8_t> bytes;
    DWORD usage = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    D3DPOOL pool = D3DPOOL_DEFAULT;
    bool locked = false;
    LONG refs = 1;
};

// The device's state at one draw.
struct DrawRecord {
    std::string           call;       // "DrawPrimitive", "DrawPrimitiveUP", "DrawIndexedPrimitive"
    D3DPRIMITIVETYPE      type;
    UINT                  start;      // start vertex or start index
    UINT                  count;      // primitives
    UINT                  stride;     // DrawPrimitiveUP only
    std::vector<uint8_t>  vertices;   // DrawPrimitiveUP: a copy of the vertex data
    DWORD                 renderState[256];
    DWORD                 stage0[32];
    D3DVIEWPORT8          viewport;
    IDirect3DBaseTexture8* texture;
    DWORD                 fvf;
    IDirect3DVertexBuffer8* stream;
    bool                  inScene;
};

class RecordingDevice : public StubDevice {
public:
    RecordingDevice();
    ~RecordingDevice();

    std::vector<std::string> log;      // "RS 27 1", "TSS 0 16 2", "VP 0 360 160 120", "Draw..."
    std::vector<DrawRecord>  draws;
    std::vector<FakeTexture*> textures;  // those created, in order
    struct TextureCall { D3DFORMAT format; UINT width, height, levels; D3DPOOL pool; bool accepted; };
    std::vector<TextureCall> textureCalls;  // every CreateTexture, the refused ones too
    bool takesDxt1 = true;
    int  r5g6b5Left = 1000;            // R5G6B5 textures it still grants
    bool failLocks = false;            // textures are made, but none of their levels can be locked
    std::vector<FakeVertexBuffer*> vertexBuffers;
    std::vector<FakeIndexBuffer*>  indexBuffers;
    DWORD renderState[256];
    DWORD stage0[32];
    D3DVIEWPORT8 viewport;
    IDirect3DBaseTexture8* texture = nullptr;
    DWORD fvf = 0;
    IDirect3DVertexBuffer8* stream = nullptr;
    D3DMATRIX transforms[512];
    bool inScene = false;
    int  scenes = 0, presents = 0, clears = 0;

    void Forget();  // clears the log and the draws, keeps the state and the resources
    // Number of log lines equal to line.
    int  Count(const std::string& line) const;
    // Index of the first log line equal to line at or after from, or -1.
    int  Find(const std::string& line, int from = 0) const;

    HRESULT STDMETHODCALLTYPE CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
                                            D3DPOOL pool, IDirect3DTexture8** out) override;
    HRESULT STDMETHODCALLTYPE CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                                 IDirect3DVertexBuffer8** out) override;
    HRESULT STDMETHODCALLTYPE CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                                IDirect3DIndexBuffer8** out) override;
    HRESULT STDMETHODCALLTYPE BeginScene() override;
    HRESULT STDMETHODCALLTYPE EndScene() override;
    HRESULT STDMETHODCALLTYPE Present(const RECT*, const RECT*, HWND, const RGNDATA*) override;
    HRESULT STDMETHODCALLTYPE Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour,
                                    float z, DWORD stencil) override;
    HRESULT STDMETHODCALLTYPE SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT STDMETHODCALLTYPE SetViewport(const D3DVIEWPORT8* vp) override;
    HRESULT STDMETHODCALLTYPE GetViewport(D3DVIEWPORT8* vp) override;
    HRESULT STDMETHODCALLTYPE SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetTexture(DWORD stage, IDirect3DBaseTexture8* t) override;
    HRESULT STDMETHODCALLTYPE SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT STDMETHODCALLTYPE SetVertexShader(DWORD handle) override;
    HRESULT STDMETHODCALLTYPE SetStreamSource(UINT n, IDirect3DVertexBuffer8* vb, UINT stride) override;
    HRESULT STDMETHODCALLTYPE SetIndices(IDirect3DIndexBuffer8* ib, UINT base) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count) override;
    HRESULT STDMETHODCALLTYPE DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                                   UINT startIndex, UINT count) override;
    HRESULT STDMETHODCALLTYPE DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data,
                                              UINT stride) override;

private:
    DrawRecord Snapshot(const char* call, D3DPRIMITIVETYPE type, UINT start, UINT count);
};

}  // namespace recording
