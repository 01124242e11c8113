// web/include/windows.h -- the part of the Win32 API the program calls, for the browser build.
// Types and constants keep their Windows values; the functions are in web/win32_web.cpp, where
// browser events stand in for window messages and Canvas 2D for GDI's text.
#pragma once
#include <cstddef>
#include <cstdint>

#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define FALSE 0
#define TRUE 1

typedef int            BOOL;
typedef int            WINBOOL;
typedef int            INT;
typedef unsigned char  BYTE;
typedef uint16_t       WORD;
typedef uint32_t       DWORD;
typedef unsigned int   UINT;
typedef int32_t        LONG;
typedef uint32_t       ULONG;
typedef int32_t        HRESULT;
typedef char*          LPSTR;
typedef const char*    LPCSTR;
typedef uintptr_t      WPARAM;
typedef intptr_t       LPARAM;
typedef intptr_t       LRESULT;
typedef DWORD          COLORREF;
typedef struct HWND__*      HWND;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE           HMODULE;
typedef struct HDC__*       HDC;
typedef struct HGDIOBJ__*   HGDIOBJ;
typedef HGDIOBJ             HFONT;
typedef HGDIOBJ             HBITMAP;
typedef struct HMENU__*     HMENU;
typedef struct HMONITOR__*  HMONITOR;
typedef LRESULT (CALLBACK* WNDPROC)(HWND, UINT, WPARAM, LPARAM);

struct RECT { LONG left, top, right, bottom; };
struct SIZE { LONG cx, cy; };
struct POINT { LONG x, y; };
struct MSG { HWND hwnd; UINT message; WPARAM wParam; LPARAM lParam; DWORD time; POINT pt; };
struct WNDCLASSA {
    UINT style; WNDPROC lpfnWndProc; int cbClsExtra, cbWndExtra; HINSTANCE hInstance;
    void* hIcon; void* hCursor; void* hbrBackground; LPCSTR lpszMenuName, lpszClassName;
};
struct BITMAPINFOHEADER {
    DWORD biSize; LONG biWidth, biHeight; WORD biPlanes, biBitCount; DWORD biCompression, biSizeImage;
    LONG biXPelsPerMeter, biYPelsPerMeter; DWORD biClrUsed, biClrImportant;
};
struct RGBQUAD { BYTE rgbBlue, rgbGreen, rgbRed, rgbReserved; };
struct BITMAPINFO { BITMAPINFOHEADER bmiHeader; RGBQUAD bmiColors[1]; };

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define RGB(r, g, b) (static_cast<COLORREF>((r) | ((g) << 8) | ((b) << 16)))

enum : UINT {
    WM_DESTROY = 0x0002, WM_ACTIVATE = 0x0006, WM_PAINT = 0x000F, WM_CLOSE = 0x0010, WM_QUIT = 0x0012,
    WM_KEYDOWN = 0x0100,
};
enum { VK_ESCAPE = 0x1B, PM_REMOVE = 1, CS_VREDRAW = 1, CS_HREDRAW = 2, SW_SHOW = 5, SW_SHOWDEFAULT = 10 };
enum : DWORD { WS_POPUP = 0x80000000u, WS_VISIBLE = 0x10000000u };
enum { FW_BOLD = 700, DEFAULT_CHARSET = 1, OUT_DEFAULT_PRECIS = 0, CLIP_DEFAULT_PRECIS = 0,
       NONANTIALIASED_QUALITY = 3, VARIABLE_PITCH = 2, TA_LEFT = 0, TA_TOP = 0, ETO_OPAQUE = 2, MM_TEXT = 1,
       BI_RGB = 0, DIB_RGB_COLORS = 0 };

HMODULE GetModuleHandleA(LPCSTR name);
[[noreturn]] void ExitProcess(UINT code);

WORD    RegisterClassA(const WNDCLASSA* wc);
HWND    CreateWindowExA(DWORD exStyle, LPCSTR cls, LPCSTR title, DWORD style, int x, int y, int w, int h,
                        HWND parent, HMENU menu, HINSTANCE instance, void* param);
BOOL    ShowWindow(HWND window, int show);
BOOL    UpdateWindow(HWND window);
int     ShowCursor(BOOL show);
BOOL    ValidateRect(HWND window, const RECT* rect);
BOOL    PeekMessageA(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
BOOL    TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
LRESULT DefWindowProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void    PostQuitMessage(int code);

HDC      CreateCompatibleDC(HDC dc);
BOOL     DeleteDC(HDC dc);
HFONT    CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                     DWORD underline, DWORD strikeOut, DWORD charset, DWORD outPrecision, DWORD clipPrecision,
                     DWORD quality, DWORD pitchAndFamily, LPCSTR face);
HBITMAP  CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, void* section, DWORD offset);
HGDIOBJ  SelectObject(HDC dc, HGDIOBJ object);
BOOL     DeleteObject(HGDIOBJ object);
int      SetMapMode(HDC dc, int mode);
UINT     SetTextAlign(HDC dc, UINT align);
COLORREF SetTextColor(HDC dc, COLORREF colour);
COLORREF SetBkColor(HDC dc, COLORREF colour);
BOOL     GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size);
BOOL     ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const INT* dx);
BOOL     GdiFlush();
