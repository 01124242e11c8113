// shell/winmain_win32.cpp -- the executable's entry point; everything happens in AppMain.
#include <windows.h>

#include "shell/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    AppMain();
}
