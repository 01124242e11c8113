// show/main_effect_d3d8.cpp -- MainEffectInit/Frame/Release and CameraApply: the rainbow lines,
// the globe in its corner viewport and the additive particle ring, on the device.
// Direct3D 8; main thread, in ShowInit, inside the frame and in ShowRelease.
#include <windows.h>
#include <d3d8.h>

#include "assets/assets.h"
#include "base/frame_clock.h"
#include "gfx/device.h"
#include "gfx/textures.h"
#include "show/main_effect.h"

static_assert(sizeof(Matrix4) == sizeof(D3DMATRIX), "Matrix4 has D3DMATRIX's layout");

float   g_effectTime = 0.0f;
float   g_lineScroll = 0.0f;
int32_t g_linePhase = 0;
Matrix4 g_worldMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
Camera  g_globeCamera = {{0.0f, -400.0f, 100.0f}, {0.0f, 0.0f, 0.0f}, 0.3f, {}};

static IDirect3DVertexBuffer8* g_globeMesh;     // 512 x MeshVertex, managed, written once
static IDirect3DVertexBuffer8* g_ringBuffer;    // 2048 x TexturedVertex, dynamic system memory
static IDirect3DIndexBuffer8*  g_ringIndices;   // 3072 x 16-bit, managed
static IDirect3DTexture8*      g_globeTexture;  // 64 x 64 A4R4G4B4
static IDirect3DTexture8*      g_sparkTexture;  // 32 x 32 R5G6B5
static RingPoint               g_ringPoints[kRingSprites];
static ColourVertex            g_lineVertices[kLineVertices];

static const DWORD kLineFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;  // 0x44
static const DWORD kMeshFormat = D3DFVF_XYZ | D3DFVF_TEX1;        // 0x102
static const DWORD kRingFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;     // 0x104

void CameraApply(Camera* camera)
{
    CameraComputeView(camera);
    g_device->SetTransform(D3DTS_VIEW, reinterpret_cast<const D3DMATRIX*>(&camera->view));
}

void MainEffectInit()
{
    IDirect3DDevice8* device = g_device;
    BYTE* bytes = nullptr;

    device->CreateVertexBuffer(kGlobeVertices * sizeof(MeshVertex), D3DUSAGE_WRITEONLY, kMeshFormat,
                               D3DPOOL_MANAGED, &g_globeMesh);
    if (g_globeMesh && SUCCEEDED(g_globeMesh->Lock(0, kGlobeVertices * sizeof(MeshVertex), &bytes, 0))) {
        BuildGlobeMesh(reinterpret_cast<MeshVertex*>(bytes));
        g_globeMesh->Unlock();
    }

    // The ring's random draws happen whether or not the buffer exists, so the stars that are
    // drawn after them always come out the same.
    static TexturedVertex scratch[kRingVertices];
    TexturedVertex* sprites = scratch;
    device->CreateVertexBuffer(kRingVertices * sizeof(TexturedVertex), D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC,
                               kRingFormat, D3DPOOL_SYSTEMMEM, &g_ringBuffer);
    bool ringLocked = g_ringBuffer &&
                      SUCCEEDED(g_ringBuffer->Lock(0, kRingVertices * sizeof(TexturedVertex), &bytes, 0));
    if (ringLocked) sprites = reinterpret_cast<TexturedVertex*>(bytes);
    BuildRingSprites(sprites, g_ringPoints);
    if (ringLocked) g_ringBuffer->Unlock();

    device->CreateIndexBuffer(kRingIndices * sizeof(uint16_t), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16,
                              D3DPOOL_MANAGED, &g_ringIndices);
    if (g_ringIndices && SUCCEEDED(g_ringIndices->Lock(0, kRingIndices * sizeof(uint16_t), &bytes, 0))) {
        BuildRingIndices(reinterpret_cast<uint16_t*>(bytes));
        g_ringIndices->Unlock();
    }

    CreateTextureFromMemory(g_sparkImage, &g_sparkTexture, 32, 32, D3DFMT_R5G6B5, 0);
    CreateTextureFromMemory(g_globeImage, &g_globeTexture, 64, 64, D3DFMT_A4R4G4B4, 0);
}

static void DrawColourLine(IDirect3DDevice8* device, bool lower)
{
    BuildColourLine(g_lineVertices, g_lineScroll, g_linePhase, lower);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, kLineVertices - 2, g_lineVertices, sizeof(ColourVertex));
}

void MainEffectFrame()
{
    IDirect3DDevice8* device = g_device;
    g_effectTime += g_frameTime;

    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetTexture(0, nullptr);
    device->SetVertexShader(kLineFormat);
    // The cull mode is not set for the lines. Both strips wind counter-clockwise: the lower one is
    // drawn under the clockwise culling the scroll text leaves behind, the upper one under the
    // "none" set for the ring below. Counter-clockwise culling would remove them.
    DrawColourLine(device, true);

    D3DVIEWPORT8 saved, corner;
    device->GetViewport(&saved);
    corner = saved;
    corner.Y = 360;
    corner.Width = 160;
    corner.Height = 120;
    device->SetViewport(&corner);

    CameraApply(&g_globeCamera);
    RotationFromAngles(&g_worldMatrix, 0.0f, 0.0f, g_effectTime * 0.1f);  // one turn per 62.8 s
    device->SetTransform(D3DTS_WORLD, reinterpret_cast<const D3DMATRIX*>(&g_worldMatrix));
    device->SetTransform(D3DTS_PROJECTION, reinterpret_cast<const D3DMATRIX*>(&g_globeProjection));

    device->SetTexture(0, g_globeTexture);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetVertexShader(kMeshFormat);
    device->SetStreamSource(0, g_globeMesh, sizeof(MeshVertex));
    for (UINT start = 0; start < kGlobeVertices; start += kGlobeBandVertices) {
        device->DrawPrimitive(D3DPT_TRIANGLESTRIP, start, kGlobeBandVertices - 2);
    }

    device->SetViewport(&saved);  // the sprites are placed in full-screen pixels

    // Depth test stays on, so sprites behind the globe are hidden; no depth writes, so the
    // sprites never hide each other and add up where they overlap.
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);

    BYTE* bytes = nullptr;
    if (g_ringBuffer && SUCCEEDED(g_ringBuffer->Lock(0, kRingVertices * sizeof(TexturedVertex), &bytes, 0))) {
        Matrix4 m;
        MatrixMultiply(&m, &g_worldMatrix, &g_globeCamera.view);
        MatrixMultiply(&m, &m, &g_cornerProjection);
        ProjectRing(&m, g_ringPoints, reinterpret_cast<TexturedVertex*>(bytes));
        g_ringBuffer->Unlock();
    }
    device->SetTexture(0, g_sparkTexture);
    device->SetVertexShader(kRingFormat);
    device->SetStreamSource(0, g_ringBuffer, sizeof(TexturedVertex));
    device->SetIndices(g_ringIndices, 0);
    device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, kRingVertices, 0, kRingSprites * 2);

    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_GOURAUD);
    device->SetTexture(0, nullptr);
    device->SetVertexShader(kLineFormat);
    DrawColourLine(device, false);

    LineScrollStep(&g_lineScroll, &g_linePhase, g_frameTime);
}

void MainEffectRelease()
{
    if (g_globeMesh)    { g_globeMesh->Release();    g_globeMesh = nullptr; }
    if (g_ringBuffer)   { g_ringBuffer->Release();   g_ringBuffer = nullptr; }
    if (g_ringIndices)  { g_ringIndices->Release();  g_ringIndices = nullptr; }
    if (g_globeTexture) { g_globeTexture->Release(); g_globeTexture = nullptr; }
    if (g_sparkTexture) { g_sparkTexture->Release(); g_sparkTexture = nullptr; }
}
