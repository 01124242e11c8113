// tests/win/display_ready.cpp -- exits 0 when this process could make a window, 1 when Wine gave it
// no display driver. A process that Wine starts before its desktop has named the display driver has
// none for its whole life; the headless session runs this until it succeeds before anything else.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "qe_display_ready";
    RegisterClassA(&wc);
    // Without a driver, creating a top-level window fails.
    HWND window = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    DestroyWindow(window);
    return 0;
}
