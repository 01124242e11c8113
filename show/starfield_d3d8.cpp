// show/starfield_d3d8.cpp -- StarfieldInit/Frame/Release: the corner caption and the stars on the
// device. Direct3D 8; main thread, in ShowInit, inside the frame and in ShowRelease.
#include <windows.h>
#include <d3d8.h>

#include "assets/assets.h"
#include "base/frame_clock.h"
#include "gfx/device.h"
#include "gfx/textures.h"
#include "show/starfield.h"

Star g_stars[kStars];

static IDirect3DVertexBuffer8* g_starBuffer;      // 2048 x ColourVertex, dynamic system memory, points
static IDirect3DTexture8*      g_captionTexture;  // 128 x 128 R5G6B5

// The caption 1:1 with its top-left corner at (512, 440): only its top 40 rows, which hold all
// of its lettering, are on the screen.
static const TexturedVertex g_captionQuad[4] = {
    {512.0f, 440.0f, 1.0f, 1.0f, 0.0f, 0.0f},
    {640.0f, 440.0f, 1.0f, 1.0f, 1.0f, 0.0f},
    {512.0f, 568.0f, 1.0f, 1.0f, 0.0f, 1.0f},
    {640.0f, 568.0f, 1.0f, 1.0f, 1.0f, 1.0f},
};

static const DWORD kStarFormat = D3DFVF_XYZRHW | D3DFVF_DIFFUSE;   // 0x44
static const DWORD kCaptionFormat = D3DFVF_XYZRHW | D3DFVF_TEX1;   // 0x104

void StarfieldInit()
{
    IDirect3DDevice8* device = g_device;
    device->CreateVertexBuffer(kStars * sizeof(ColourVertex),
                               D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS | D3DUSAGE_DYNAMIC, kStarFormat,
                               D3DPOOL_SYSTEMMEM, &g_starBuffer);
    BYTE* bytes = nullptr;
    if (g_starBuffer && SUCCEEDED(g_starBuffer->Lock(0, kStars * sizeof(ColourVertex), &bytes, 0))) {
        ColourVertex* v = reinterpret_cast<ColourVertex*>(bytes);
        for (int k = 0; k < kStars; k++) {
            v[k].z = 1.0f;
            v[k].rhw = 1.0f;
        }
        g_starBuffer->Unlock();
    }
    BuildStarTable(g_stars);  // after the ring's draws: ShowInit keeps that order
    CreateTextureFromMemory(g_captionImage, &g_captionTexture, 128, 128, D3DFMT_R5G6B5, 0);
}

void StarfieldFrame()
{
    IDirect3DDevice8* device = g_device;

    device->SetTexture(0, g_captionTexture);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexShader(kCaptionFormat);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_captionQuad, sizeof(TexturedVertex));
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);

    // The band viewport only clips: the stars keep their full-screen coordinates.
    D3DVIEWPORT8 saved, band;
    device->GetViewport(&saved);
    band = saved;
    band.Y = 60;
    band.Height = 360;
    device->SetViewport(&band);

    BYTE* bytes = nullptr;
    if (g_starBuffer && SUCCEEDED(g_starBuffer->Lock(0, kStars * sizeof(ColourVertex), &bytes, 0))) {
        StarfieldStep(g_stars, reinterpret_cast<ColourVertex*>(bytes), g_frameTime);
        g_starBuffer->Unlock();
    }

    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexShader(kStarFormat);
    device->SetStreamSource(0, g_starBuffer, sizeof(ColourVertex));
    device->DrawPrimitive(D3DPT_POINTLIST, 0, kStars);

    device->SetViewport(&saved);
}

void StarfieldRelease()
{
    if (g_starBuffer)     { g_starBuffer->Release();     g_starBuffer = nullptr; }
    if (g_captionTexture) { g_captionTexture->Release(); g_captionTexture = nullptr; }
}
