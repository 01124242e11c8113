// tests/win/support/recording_device.cpp -- the recording fake device and its buffers.
#include "recording_device.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace recording {

namespace {

std::string Line(const char* format, unsigned a, unsigned b = 0, unsigned c = 0, unsigned d = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c, d);
    return text;
}

// The number of vertices a primitive count covers.
UINT VertexCount(D3DPRIMITIVETYPE type, UINT count)
{
    switch (type) {
    case D3DPT_POINTLIST: return count;
    case D3DPT_LINELIST: return count * 2;
    case D3DPT_LINESTRIP: return count + 1;
    case D3DPT_TRIANGLELIST: return count * 3;
    default: return count + 2;
    }
}

// A level of w x h: a DXT1 level holds 8 bytes per 4 x 4 block, at least one block.
FakeTexture* TextureLevel(UINT w, UINT h, D3DFORMAT format, bool failLock)
{
    FakeTexture* t = new FakeTexture;
    FakeSurface* s = &t->surface;
    s->width = w;
    s->height = h;
    s->format = format;
    s->failLock = failLock;
    bool dxt = format == D3DFMT_DXT1 || format == D3DFMT_DXT2 || format == D3DFMT_DXT3 ||
               format == D3DFMT_DXT4 || format == D3DFMT_DXT5;
    UINT bytesPerPixel = (format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8) ? 4 : 2;
    s->pitch = dxt ? std::max(1u, w / 4) * 8 : w * bytesPerPixel + 24;
    s->size = dxt ? s->pitch * std::max(1u, h / 4) : s->pitch * h;
    s->pixels.assign(s->size + 128, 0xCD);
    return t;
}

}  // namespace

HRESULT FakeSurface::GetDesc(D3DSURFACE_DESC* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->Format = format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = D3DPOOL_MANAGED;
    desc->Size = size;
    desc->Width = width;
    desc->Height = height;
    return D3D_OK;
}

HRESULT FakeSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (failLock) return D3DERR_INVALIDCALL;
    locked->pBits = pixels.data();
    locked->Pitch = static_cast<INT>(pitch);
    return D3D_OK;
}

HRESULT FakeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc)
{
    return Level(level) ? Level(level)->GetDesc(desc) : D3DERR_INVALIDCALL;
}

HRESULT FakeTexture::GetSurfaceLevel(UINT level, IDirect3DSurface8** out)
{
    if (!Level(level)) return D3DERR_INVALIDCALL;
    Level(level)->AddRef();
    *out = Level(level);
    return D3D_OK;
}

HRESULT FakeTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    return Level(level) ? Level(level)->LockRect(locked, rect, flags) : D3DERR_INVALIDCALL;
}

HRESULT FakeVertexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags)
{
    if (locked || offset + size > bytes.size()) return D3DERR_INVALIDCALL;
    locked = true;
    locks++;
    *data = bytes.data() + offset;
    return D3D_OK;
}

HRESULT FakeVertexBuffer::Unlock()
{
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}

HRESULT FakeIndexBuffer::Lock(UINT offset, UINT size, BYTE** data, DWORD flags)
{
    if (locked || offset + size > bytes.size()) return D3DERR_INVALIDCALL;
    locked = true;
    *data = bytes.data() + offset;
    return D3D_OK;
}

HRESULT FakeIndexBuffer::Unlock()
{
    if (!locked) return D3DERR_INVALIDCALL;
    locked = false;
    return D3D_OK;
}

RecordingDevice::RecordingDevice()
{
    std::memset(renderState, 0, sizeof renderState);
    std::memset(stage0, 0, sizeof stage0);
    std::memset(transforms, 0, sizeof transforms);
    viewport = {0, 0, 640, 480, 0.0f, 1.0f};
    stage0[D3DTSS_MAGFILTER] = D3DTEXF_LINEAR;
    stage0[D3DTSS_MINFILTER] = D3DTEXF_LINEAR;
    stage0[D3DTSS_MIPFILTER] = D3DTEXF_LINEAR;
    stage0[D3DTSS_ADDRESSU] = D3DTADDRESS_WRAP;
    stage0[D3DTSS_ADDRESSV] = D3DTADDRESS_WRAP;
    stage0[D3DTSS_ALPHAOP] = D3DTOP_SELECTARG1;
    renderState[D3DRS_ZENABLE] = TRUE;
    renderState[D3DRS_ZWRITEENABLE] = TRUE;
    renderState[D3DRS_CULLMODE] = D3DCULL_CCW;
}

RecordingDevice::~RecordingDevice()
{
    for (FakeTexture* t : textures) delete t;
    for (FakeVertexBuffer* b : vertexBuffers) delete b;
    for (FakeIndexBuffer* b : indexBuffers) delete b;
}

void RecordingDevice::Forget()
{
    log.clear();
    draws.clear();
}

int RecordingDevice::Count(const std::string& line) const
{
    int n = 0;
    for (const std::string& l : log) n += l == line;
    return n;
}

int RecordingDevice::Find(const std::string& line, int from) const
{
    for (size_t i = from < 0 ? 0 : from; i < log.size(); i++)
        if (log[i] == line) return static_cast<int>(i);
    return -1;
}

HRESULT RecordingDevice::CreateTexture(UINT w, UINT h, UINT levels, DWORD usage, D3DFORMAT format,
                                       D3DPOOL pool, IDirect3DTexture8** out)
{
    bool ok = format == D3DFMT_DXT1 ? takesDxt1 : format == D3DFMT_R5G6B5 ? r5g6b5Left-- > 0 : true;
    textureCalls.push_back({format, w, h, levels, pool, ok});
    log.push_back(Line(ok ? "CreateTexture %u %u %u" : "CreateTexture %u %u %u refused", w, h, format));
    if (!ok) { *out = nullptr; return D3DERR_INVALIDCALL; }
    FakeTexture* t = TextureLevel(w, h, format, failLocks);
    for (UINT lw = w / 2, lh = h / 2; levels == 0 && (lw | lh); lw /= 2, lh /= 2)
        t->below.push_back(TextureLevel(std::max(lw, 1u), std::max(lh, 1u), format, failLocks));
    textures.push_back(t);
    *out = t;
    return D3D_OK;
}

HRESULT RecordingDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                            IDirect3DVertexBuffer8** out)
{
    FakeVertexBuffer* b = new FakeVertexBuffer;
    b->bytes.assign(length, 0xCD);  // not zero: a field the code forgets to write shows
    b->usage = usage;
    b->fvf = fvf;
    b->pool = pool;
    vertexBuffers.push_back(b);
    *out = b;
    log.push_back(Line("CreateVertexBuffer %u 0x%x 0x%x %u", length, usage, fvf, pool));
    return D3D_OK;
}

HRESULT RecordingDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                           IDirect3DIndexBuffer8** out)
{
    FakeIndexBuffer* b = new FakeIndexBuffer;
    b->bytes.assign(length, 0xCD);
    b->usage = usage;
    b->format = format;
    b->pool = pool;
    indexBuffers.push_back(b);
    *out = b;
    log.push_back(Line("CreateIndexBuffer %u 0x%x %u %u", length, usage, format, pool));
    return D3D_OK;
}

HRESULT RecordingDevice::BeginScene()
{
    inScene = true;
    scenes++;
    log.push_back("BeginScene");
    return D3D_OK;
}

HRESULT RecordingDevice::EndScene()
{
    inScene = false;
    log.push_back("EndScene");
    return D3D_OK;
}

HRESULT RecordingDevice::Present(const RECT*, const RECT*, HWND, const RGNDATA*)
{
    presents++;
    log.push_back("Present");
    return D3D_OK;
}

HRESULT RecordingDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR colour, float z,
                               DWORD stencil)
{
    clears++;
    log.push_back(Line("Clear %u 0x%x", flags, colour));
    return D3D_OK;
}

HRESULT RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    if (state < 512) transforms[state] = *matrix;
    log.push_back(Line("Transform %u", state));
    return D3D_OK;
}

HRESULT RecordingDevice::SetViewport(const D3DVIEWPORT8* vp)
{
    viewport = *vp;
    log.push_back(Line("VP %u %u %u %u", vp->X, vp->Y, vp->Width, vp->Height));
    return D3D_OK;
}

HRESULT RecordingDevice::GetViewport(D3DVIEWPORT8* vp)
{
    *vp = viewport;
    return D3D_OK;
}

HRESULT RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    if (state < 256) renderState[state] = value;
    log.push_back(Line("RS %u %u", state, value));
    return D3D_OK;
}

HRESULT RecordingDevice::SetTexture(DWORD stage, IDirect3DBaseTexture8* t)
{
    if (stage == 0) texture = t;
    log.push_back(Line(t ? "Texture %u" : "Texture %u null", stage));
    return D3D_OK;
}

HRESULT RecordingDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value)
{
    if (stage == 0 && type < 32) stage0[type] = value;
    log.push_back(Line("TSS %u %u %u", stage, type, value));
    return D3D_OK;
}

HRESULT RecordingDevice::SetVertexShader(DWORD handle)
{
    fvf = handle;
    log.push_back(Line("FVF 0x%x", handle));
    return D3D_OK;
}

HRESULT RecordingDevice::SetStreamSource(UINT n, IDirect3DVertexBuffer8* vb, UINT stride)
{
    if (n == 0) stream = vb;
    log.push_back(Line("Stream %u %u", n, stride));
    return D3D_OK;
}

HRESULT RecordingDevice::SetIndices(IDirect3DIndexBuffer8* ib, UINT base)
{
    log.push_back(Line("Indices %u", base));
    return D3D_OK;
}

DrawRecord RecordingDevice::Snapshot(const char* call, D3DPRIMITIVETYPE type, UINT start, UINT count)
{
    DrawRecord r;
    r.call = call;
    r.type = type;
    r.start = start;
    r.count = count;
    r.stride = 0;
    std::memcpy(r.renderState, renderState, sizeof renderState);
    std::memcpy(r.stage0, stage0, sizeof stage0);
    r.viewport = viewport;
    r.texture = texture;
    r.fvf = fvf;
    r.stream = stream;
    r.inScene = inScene;
    return r;
}

HRESULT RecordingDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count)
{
    draws.push_back(Snapshot("DrawPrimitive", type, start, count));
    log.push_back(Line("DrawPrimitive %u %u %u", type, start, count));
    return D3D_OK;
}

HRESULT RecordingDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT minIndex, UINT vertices,
                                              UINT startIndex, UINT count)
{
    draws.push_back(Snapshot("DrawIndexedPrimitive", type, startIndex, count));
    log.push_back(Line("DrawIndexedPrimitive %u %u %u %u", type, vertices, startIndex, count));
    return D3D_OK;
}

HRESULT RecordingDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* data, UINT stride)
{
    DrawRecord r = Snapshot("DrawPrimitiveUP", type, 0, count);
    r.stride = stride;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    r.vertices.assign(bytes, bytes + VertexCount(type, count) * stride);
    draws.push_back(r);
    log.push_back(Line("DrawPrimitiveUP %u %u %u", type, count, stride));
    return D3D_OK;
}

}  // namespace recording
