// shell/app_win32.cpp -- entry, window procedure, main loop, frame driver and shutdown.
// Runs on the main thread. The program takes no command line and shows no messages: every
// failure during start-up ends in AppShutdown, silently, with exit code 0.
#include "shell/app_win32.h"

#include <objbase.h>

#include "audio/audio.h"
#include "base/frame_clock.h"
#include "gfx/device.h"
#include "module/stream.h"
#include "player/player.h"
#include "shell/app.h"
#include "show/show.h"

HINSTANCE g_instance;
HWND      g_window;

// Two copies of the same text on purpose: one names the class, the other titles the window.
static const char g_windowTitle[] = "Quietembers";
static const char g_className[]   = "Quietembers";

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
        // Closing quits at once, without the closing sequence. WM_CLOSE is not passed on, so the
        // window is never destroyed: the process exit takes it.
        g_active = 0;
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        // The whole wParam, not just its low word: a deactivation while minimised (high word
        // set) still counts as active. Only a plain 0 quits.
        g_active = static_cast<int32_t>(wParam);
        if (wParam == 0) {
            PostQuitMessage(0);
            return 0;
        }
        break;
    case WM_PAINT:
        ValidateRect(window, nullptr);  // nothing to paint: Direct3D owns the screen
        return 1;
    case WM_QUIT:
        g_active = 0;
        break;
    case WM_KEYDOWN:
        // Escape does not quit by itself: the show sees the cleared flag on its next frame and
        // plays its closing sequence, which posts the quit when it is done.
        if (wParam == VK_ESCAPE) g_active = 0;
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void MainLoop(void (*renderFrame)())
{
    // The record is cleared first, so a WM_QUIT that ended the title card's own loop does not end
    // this one. The test at the top sees the last message taken. No sleep, no frame limiter:
    // Present paces the frames.
    MSG msg = {};
    while (msg.message != WM_QUIT) {
        if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        } else {
            renderFrame();
        }
    }
}

void RenderFrame()
{
    // Every result is ignored; a lost device is not detected (no TestCooperativeLevel, no Reset).
    g_device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    g_device->BeginScene();
    FrameClockTick();
    ShowFrame();
    g_device->EndScene();
    g_device->Present(nullptr, nullptr, nullptr, nullptr);
    g_framesPresented++;
}

void AppShutdown()
{
    if (g_device) ShowRelease();
    if (g_player) { player_free(g_player); g_player = nullptr; }  // waits for the audio thread, stops playback
    audio_close();  // always, whether or not the device was opened
    if (g_device) { g_device->Release(); g_device = nullptr; }
    if (g_d3d)    { g_d3d->Release();    g_d3d = nullptr; }
    CoUninitialize();
    ShowCursor(TRUE);
    ExitProcess(0);
}

void AppMain()
{
    g_instance = GetModuleHandleA(nullptr);

    WNDCLASSA wc = {};
    wc.style         = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc   = WindowProc;
    wc.hInstance     = g_instance;
    wc.lpszClassName = g_className;
    RegisterClassA(&wc);  // a failure shows up nowhere: the window handle is not tested either

    g_window = CreateWindowExA(0, g_className, g_windowTitle, WS_POPUP | WS_VISIBLE, 0, 0, 640, 480,
                               nullptr, nullptr, g_instance, nullptr);
    ShowCursor(FALSE);
    ShowWindow(g_window, SW_SHOW);
    UpdateWindow(g_window);
    CoInitialize(nullptr);

    if (!InitDirect3D(g_window)) AppShutdown();
    ShowInit();      // the title card plays here, in silence, then the show's resources are built

    // Sound: the callbacks must be in place before audio_open, which refuses to open without them.
    set_module_io(memory_open, memory_close, memory_read, memory_seek, memory_tell);
    if (!audio_open(44100, 0)) AppShutdown();
    g_player = player_load(0, 0);
    ShowWindow(g_window, SW_SHOWDEFAULT);
    UpdateWindow(g_window);
    if (!g_player) AppShutdown();
    audio_start(g_player);  // pre-renders the whole ring, then the device and the audio thread run

    FrameClockReset();  // the first frame's time counts from here, not from the title card
    MainLoop(RenderFrame);
    AppShutdown();
}
