// show/show_d3d8.cpp -- the show's entry points: init and release order, the frame dispatcher,
// and the fade overlay. Direct3D, main thread.
#include "show/show.h"

#include "base/heap.h"
#include "gfx/device.h"
#include "gfx/scroll_text.h"
#include "gfx/textures.h"
#include "show/fade.h"
#include "show/main_effect.h"
#include "show/slideshow.h"
#include "show/starfield.h"
#include "show/title_card.h"

static TextScroller* g_textScroller;  // the scroll text, owned from ShowInit to ShowRelease

void ShowInit()
{
    // The show's standing filters; effects that switch to point filtering put these back.
    g_device->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTEXF_LINEAR);
    g_device->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTEXF_LINEAR);
    g_device->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTEXF_LINEAR);
    g_device->SetRenderState(D3DRS_LIGHTING, FALSE);  // no effect lights anything

    RunTitleCard();       // the six-second title card, with its own message loop
    MainEffectInit();     // colour lines, corner globe, particle ring: the first 1,024 random draws
    StarfieldInit();      // starfield and corner caption: the next 6,144
    // The scroll text. A failed Init leaves a scroller that draws nothing; the show goes on.
    g_textScroller = static_cast<TextScroller*>(MemAlloc(sizeof(TextScroller)));
    TextScrollerCreate(g_textScroller);
    LoadSlideTextures();  // the seven slide pictures
}

void ShowFrame()
{
    if (g_showEnded) {
        EndSequenceFrame();  // slideshow and end card on black; posts the quit after 7 s
        return;
    }

    StarfieldFrame();
    g_textScroller->Render();
    MainEffectFrame();    // its lower line is drawn under the text's clockwise culling, which keeps it

    if (g_active == 0) {
        // The flag is read afresh every frame; Closing is left only through the ended flag, so a
        // later activation does not bring the show back.
        g_showEnded = ClosingFadeStep();
        EndSequenceFrame();  // slideshow and end card above the overlay; posts the quit after 7 s
        return;
    }

    SlideshowFrame();
    if (!g_openingDone) g_openingDone = OpeningFadeStep();
}

void ShowRelease()
{
    // In this order (each release is safe after a partial init):
    MainEffectRelease();
    StarfieldRelease();
    if (g_textScroller) {
        g_textScroller->Release();
        MemFree(g_textScroller);
        g_textScroller = nullptr;
    }
    ReleaseSlideTextures();
}

void DrawFadeOverlay()
{
    SetFadeOverlayAlpha(g_fadeLevel);
    g_device->SetTexture(0, nullptr);
    g_device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    g_device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    g_device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    g_device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    g_device->SetVertexShader(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    // The untextured quad takes its colour and alpha from the vertices: the picture beneath is
    // darkened by (1 - alpha / 255). The states are left as they are for the next draw.
    g_device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, g_fadeOverlay, sizeof(FadeVertex));
}
