// The window procedure's messages and the main loop's pump, under Wine: what each message does
// to the active flag, which ones post the quit, and when the loop draws a frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "shell/app.h"
#include "shell/app_win32.h"

namespace {

// A message-only window of the program's window procedure: it needs no display.
HWND MakeWindow()
{
    static ATOM atom;
    if (!atom) {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "QeShellTest";
        atom = RegisterClassA(&wc);
    }
    return CreateWindowExA(0, "QeShellTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
}

// Takes a posted WM_QUIT off the thread's queue; true (and its exit code) if there was one.
bool TakeQuit(WPARAM* code)
{
    MSG m;
    if (!PeekMessageA(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return false;
    *code = m.wParam;
    return true;
}

void DrainQueue()
{
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TEST(WindowProc, MessagesSetTheActiveFlagAndQuit)
{
    HWND w = MakeWindow();
    ASSERT_NE(w, nullptr);
    DrainQueue();

    struct {
        UINT message;
        WPARAM wParam;
        int32_t activeAfter;   // -1: unchanged from 5
        bool quits;
        LRESULT result;        // checked where the window procedure decides it (-1: DefWindowProc's)
    } cases[] = {
        { WM_DESTROY,  0,           0,         true,  0 },
        { WM_CLOSE,    0,           0,         true,  0 },
        { WM_ACTIVATE, 0,           0,         true,  0 },     // deactivated: quit at once
        { WM_ACTIVATE, WA_ACTIVE,   1,         false, -1 },
        { WM_ACTIVATE, WA_CLICKACTIVE, 2,      false, -1 },
        { WM_ACTIVATE, 0x00010000,  0x10000,   false, -1 },    // inactive but minimised: counts as active
        { WM_QUIT,     0,           0,         false, -1 },
        { WM_KEYDOWN,  VK_ESCAPE,   0,         false, -1 },    // Escape only clears the flag
        { WM_KEYDOWN,  'Q',         -1,        false, -1 },
        { WM_KEYDOWN,  VK_RETURN,   -1,        false, -1 },
        { WM_KEYUP,    VK_ESCAPE,   -1,        false, -1 },
        { WM_PAINT,    0,           -1,        false, 1 },
        { WM_USER,     0,           -1,        false, -1 },
    };
    for (auto& c : cases) {
        g_active = 5;
        LRESULT r = WindowProc(w, c.message, c.wParam, 0);
        EXPECT_EQ(g_active, c.activeAfter < 0 ? 5 : c.activeAfter) << "message " << c.message << " " << c.wParam;
        if (c.result >= 0) {
            EXPECT_EQ(r, c.result) << "message " << c.message;
        }
        WPARAM code = 99;
        EXPECT_EQ(TakeQuit(&code), c.quits) << "message " << c.message << " " << c.wParam;
        if (c.quits) {
            EXPECT_EQ(code, 0u);
        }
    }

    // WM_CLOSE is not passed on: the window survives until the process ends.
    SendMessageA(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(w));
    DrainQueue();
    DestroyWindow(w);  // sends WM_DESTROY, which posts a quit too
    WPARAM code;
    EXPECT_TRUE(TakeQuit(&code));
    g_active = 0;
}

// The main loop under test: counts frames and can post messages from inside a frame.
std::vector<int> g_events;      // >0: frame number; <0: message -wParam dispatched
int  g_frames;
int  g_quitAtFrame;
HWND g_loopWindow;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp)
{
    if (m == WM_APP) {
        g_events.push_back(-static_cast<int>(wp));
        return 0;
    }
    return DefWindowProcA(w, m, wp, lp);
}

void CountingFrame()
{
    g_frames++;
    g_events.push_back(g_frames);
    if (g_frames == 2) PostMessageA(g_loopWindow, WM_APP, 3, 0);
    if (g_frames == g_quitAtFrame) PostQuitMessage(0);
}

TEST(MainLoop, DrawsOnlyWhenTheQueueIsEmptyAndStopsAtQuit)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QeLoopTest";
    RegisterClassA(&wc);
    g_loopWindow = CreateWindowExA(0, "QeLoopTest", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(g_loopWindow, nullptr);
    DrainQueue();

    g_events.clear();
    g_frames = 0;
    g_quitAtFrame = 4;
    PostMessageA(g_loopWindow, WM_APP, 1, 0);
    PostMessageA(g_loopWindow, WM_APP, 2, 0);
    MainLoop(CountingFrame);
    // Waiting messages first, then frames; a message posted by a frame is taken before the next
    // frame; the quit posted by frame 4 ends the loop before a fifth frame.
    EXPECT_EQ(g_events, (std::vector<int>{ -1, -2, 1, 2, -3, 3, 4 }));

    // Each run starts with a cleared record: the quit that ended the last one (as the title
    // card's loop ends on one) does not end the next.
    g_events.clear();
    g_frames = 0;
    g_quitAtFrame = 3;
    MainLoop(CountingFrame);
    EXPECT_EQ(g_frames, 3);
    DestroyWindow(g_loopWindow);
    DrainQueue();
}

void CloseFromAFrame()
{
    g_frames++;
    if (g_frames == 2) PostMessageA(g_loopWindow, WM_CLOSE, 0, 0);
}

TEST(MainLoop, ClosingTheWindowEndsTheLoop)
{
    g_loopWindow = MakeWindow();
    ASSERT_NE(g_loopWindow, nullptr);
    DrainQueue();
    g_frames = 0;
    g_active = 1;
    MainLoop(CloseFromAFrame);
    EXPECT_EQ(g_frames, 2);
    EXPECT_EQ(g_active, 0);
    EXPECT_TRUE(IsWindow(g_loopWindow));
    DestroyWindow(g_loopWindow);
    DrainQueue();
}

}  // namespace
