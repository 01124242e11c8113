// shell/app_win32.h -- the Win32 half of the shell: the window and the message pump.
#pragma once
#include <windows.h>

extern HINSTANCE g_instance;    // module handle of the process, taken at entry
extern HWND      g_window;      // the one window; also the device's focus window

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The main loop: takes one message per pass and dispatches it; when the queue is empty it calls
// renderFrame. Returns once a WM_QUIT has been taken. AppMain passes RenderFrame.
void MainLoop(void (*renderFrame)());
