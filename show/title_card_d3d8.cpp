// show/title_card_d3d8.cpp -- RunTitleCard: the title card's own message and frame loop.
// Direct3D 8 and Win32; runs on the main thread inside ShowInit, before any sound is opened.
#include <windows.h>
#include <d3d8.h>

#include <cstring>

#include "assets/assets.h"
#include "base/frame_clock.h"
#include "gfx/device.h"
#include "gfx/textures.h"
#include "show/title_card.h"

namespace {

// One frame of the card with its colour already faded: drawn 1:1 with point filtering and clamped
// edges, then the stage's standing filters (linear) and address modes (wrap) are put back.
void DrawTitleCard(IDirect3DDevice8* device, IDirect3DTexture8* texture, const QuadVertex quad[4])
{
    device->SetTexture(0, texture);
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_POINT);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_CLAMP);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(QuadVertex));
    device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_WRAP);
    device->SetTextureStageState(0, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP);
}

}  // namespace

void RunTitleCard()
{
    IDirect3DDevice8* device = g_device;
    IDirect3DTexture8* texture = nullptr;  // lives only while the card runs
    CreateTextureFromMemory(g_titleImage, &texture, 256, 256, D3DFMT_R5G6B5, 0);

    QuadVertex quad[4];
    std::memcpy(quad, g_titleQuadTemplate, sizeof quad);
    float timer = 0.0f;  // seconds since the card started drawing

    FrameClockReset();
    MSG msg;
    std::memset(&msg, 0, sizeof msg);
    // Messages come first and go to the shell's window procedure as usual; Escape clears the
    // active flag there but does not shorten the card. Only WM_QUIT ends it early (and is consumed).
    while (msg.message != WM_QUIT && timer < kTitleCardSeconds) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        uint32_t colour = quad[0].colour;
        if (TitleCardFade(timer, &colour)) {
            for (QuadVertex& v : quad) v.colour = colour;
        }
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        device->BeginScene();
        FrameClockTick();
        DrawTitleCard(device, texture, quad);
        device->EndScene();
        device->Present(nullptr, nullptr, nullptr, nullptr);
        timer += g_frameTime;
    }

    if (texture) { texture->Release(); texture = nullptr; }
}
