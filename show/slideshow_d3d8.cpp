// show/slideshow_d3d8.cpp -- SlideshowFrame and EndSequenceFrame: the slide quad drawn with the
// slide textures, and the end card over it. Direct3D 8 and Win32; main thread, inside the frame.
#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "base/frame_clock.h"
#include "gfx/device.h"
#include "gfx/textures.h"
#include "show/slideshow.h"

SlideshowState g_slideshow = g_slideshowStart;
QuadVertex     g_slideQuad[4] = {
    {32.0f, 112.0f, 1.0f, 1.0f, 0, 0.0f, 0.0f},
    {288.0f, 112.0f, 1.0f, 1.0f, 0, 1.0f, 0.0f},
    {32.0f, 368.0f, 1.0f, 1.0f, 0, 0.0f, 1.0f},
    {288.0f, 368.0f, 1.0f, 1.0f, 0, 1.0f, 1.0f},
};
float g_endTimer = 0.0f;

namespace {

void SetQuadColour(uint32_t colour)
{
    for (QuadVertex& v : g_slideQuad) v.colour = colour;
}

void DrawSlideQuad(IDirect3DDevice8* device, int32_t slide)
{
    device->SetTexture(0, g_slideTextures[slide]);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_slideQuad, sizeof(QuadVertex));
}

}  // namespace

void SlideshowFrame()
{
    IDirect3DDevice8* device = g_device;
    SlideshowState* s = &g_slideshow;
    uint8_t level = SlideshowLevel(s);

    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);

    SetQuadColour(0xFFFFFFFFu);
    DrawSlideQuad(device, s->index);

    if (s->crossFade == 1) {
        // The next slide over it: its alpha is the texture's (1 everywhere) times the level.
        SetQuadColour(WhiteWithAlpha(level));
        device->SetTexture(0, g_slideTextures[NextSlide(s->index)]);
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_slideQuad, sizeof(QuadVertex));
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
    }

    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    SlideshowAdvance(s, g_frameTime);
}

void EndSequenceFrame()
{
    IDirect3DDevice8* device = g_device;
    SlideshowFrame();

    uint32_t colour = 0;
    EndPhase phase = EndCardLook(g_endTimer, &colour, g_slideQuad);
    if (phase == kEndArrival) {
        device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    } else {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    }
    SetQuadColour(colour);

    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    DrawSlideQuad(device, kEndCardSlide);

    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);

    // Posted again on every frame drawn until the shell's loop takes the message.
    if (EndTimerAdvance(&g_endTimer, g_frameTime)) PostQuitMessage(0);
}
