// The real Direct3D 8 of Wine on the headless display (QE_TEST_DISPLAY; skipped without one):
// the device the program would choose there, and the frame driver running the show's fades on it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "base/frame_clock.h"
#include "gfx/device.h"
#include "shell/app.h"
#include "shell/app_win32.h"
#include "show/fade.h"
#include "show/show.h"
#include "support/test_device.h"

namespace {

bool HaveDisplay()
{
    char v[64];
    return GetEnvironmentVariableA("QE_TEST_DISPLAY", v, sizeof v) > 0;
}

HWND MakeFullScreenWindow()
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QeDeviceTest";
    RegisterClassA(&wc);
    return CreateWindowExA(0, "QeDeviceTest", "QeDeviceTest", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// Renders frames for about `seconds` of frame-clock time; returns the frames presented.
uint32_t RunFrames(float seconds, int32_t* stopFlag = nullptr)
{
    uint32_t first = g_framesPresented;
    float elapsed = 0.0f;
    MSG m;
    while (elapsed < seconds && !(stopFlag && *stopFlag)) {
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        RenderFrame();
        elapsed += g_frameTime;
    }
    return g_framesPresented - first;
}

TEST(RealDevice, ChoosesAFullScreenModeAndRunsTheFades)
{
    if (!HaveDisplay()) QE_SKIP_WITHOUT_SESSION("display (QE_TEST_DISPLAY)");
    g_window = MakeFullScreenWindow();
    ASSERT_NE(g_window, nullptr);
    g_d3d = Direct3DCreate8(120);
    ASSERT_NE(g_d3d, nullptr);
    ASSERT_TRUE(CreateDeviceFromModes(g_window)) << "the display needs a 640x480 mode";

    // At 640x480x24 Wine offers formats 22 and 23 with a 16-bit depth buffer only: the lower
    // format number wins.
    D3DDISPLAYMODE mode;
    ASSERT_EQ(g_device->GetDisplayMode(&mode), D3D_OK);
    EXPECT_EQ(mode.Width, 640u);
    EXPECT_EQ(mode.Height, 480u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(g_device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC desc;
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    depth->Release();

    FadeReset();
    ShowInit();
    DWORD lighting = 1, filter = 0;
    g_device->GetRenderState(D3DRS_LIGHTING, &lighting);
    g_device->GetTextureStageState(0, D3DTSS_MIPFILTER, &filter);
    EXPECT_EQ(lighting, 0u);
    EXPECT_EQ(filter, DWORD{ D3DTEXF_LINEAR });

    // The overlay darkens what is beneath by (1 - alpha / 255), and its colour stays black.
    IDirect3DSurface8* back = nullptr;
    IDirect3DSurface8* copy = nullptr;
    ASSERT_EQ(g_device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(g_device->CreateImageSurface(640, 480, D3DFMT_X8R8G8B8, &copy), D3D_OK);
    struct { float level; uint32_t pixel; } overlays[] = {
        { 0.0f, 0xFFFFFF }, { 0.5f, 0x7F7F7F }, { 0.25f, 0xBFBFBF }, { 1.0f, 0x000000 },
    };
    for (auto& o : overlays) {
        g_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
        g_device->BeginScene();
        g_fadeLevel = o.level;
        DrawFadeOverlay();
        g_device->EndScene();
        ASSERT_EQ(g_device->CopyRects(back, nullptr, 0, copy, nullptr), D3D_OK);
        D3DLOCKED_RECT lr;
        ASSERT_EQ(copy->LockRect(&lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        const uint8_t* bits = static_cast<const uint8_t*>(lr.pBits);
        for (int y : { 0, 240, 479 }) {
            for (int x : { 0, 320, 639 }) {
                uint32_t px = reinterpret_cast<const uint32_t*>(bits + y * lr.Pitch)[x] & 0xFFFFFF;
                for (int shift = 0; shift < 24; shift += 8) {
                    int got = static_cast<int>(px >> shift & 0xFF);
                    int want = static_cast<int>(o.pixel >> shift & 0xFF);
                    EXPECT_LE(abs(got - want), 1) << "level " << o.level << " at " << x << "," << y;
                }
            }
        }
        copy->UnlockRect();
    }
    copy->Release();
    back->Release();
    FadeReset();

    // The opening fade, then Escape's closing fade, on the real clock: each runs until it is done.
    // How long each takes is pinned with a made-up clock (show_fade_test); here a frame can take
    // a second (the 32-bit route is emulated), so a bound in frame time would judge the machine.
    // A minute of frame time only stops a hang.
    g_active = 1;
    FrameClockReset();
    DWORD t0 = GetTickCount();
    uint32_t frames = RunFrames(60.0f, &g_openingDone);
    DWORD ms = GetTickCount() - t0;
    EXPECT_EQ(g_openingDone, 1);
    EXPECT_EQ(g_fadeLevel, 0.0f);
    double fps = ms ? frames * 1000.0 / ms : 0.0;
    std::printf("frames presented: %u in %lu ms (%.1f per second)\n", frames, static_cast<unsigned long>(ms), fps);
    RecordProperty("frames_per_second", static_cast<int>(fps));

    g_active = 0;
    RunFrames(60.0f, &g_showEnded);
    EXPECT_EQ(g_showEnded, 1);
    EXPECT_EQ(g_fadeLevel, 1.0f);

    ShowRelease();
    g_device->Release();
    g_device = nullptr;
    g_d3d->Release();
    g_d3d = nullptr;
    DestroyWindow(g_window);
    g_window = nullptr;
}

}  // namespace
