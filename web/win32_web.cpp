// web/win32_web.cpp -- the Win32 calls the program makes, for the browser build.
// The one window is the page's canvas: browser events (Escape, a hidden page) arrive as the window
// messages they stand for, and the program's own loops take them with PeekMessageA as on Windows.
// GDI's one font, bold Tahoma in a 16-pixel cell without anti-aliasing, is drawn from the glyphs the
// build rendered as Wine's GDI does (web/glyph_atlas.c), so the lines break where the program's do.
// Main thread only.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "web/web.h"

// The glyphs of Windows-1252's codes 32 to 255 (glyphs_web.cpp, made by web/glyph_atlas.c): the
// advance, and 16 rows of which bit i is the pixel i - 8 right of the pen.
extern const uint8_t kGlyphAdvance[224];
extern const uint32_t kGlyphRows[224][16];

namespace {

const int32_t kFontCell = 16;

int32_t GlyphIndex(uint8_t ch)
{
    return ch < 32 ? 0 : ch - 32;  // control codes draw as the space (the show's text has none)
}

struct Window { int unused; };
Window  g_theWindow;
WNDPROC g_windowProc;

MSG     g_queue[64];        // posted messages, oldest first
int32_t g_queueHead, g_queueCount;
bool    g_quitPosted;       // WM_QUIT comes once the queue is empty, as on Windows

struct GdiObject {
    enum Kind { FONT, BITMAP } kind;
    int32_t   height, weight;                 // font
    int32_t   width, rows;                    // bitmap: pixels, rows (top row first)
    uint32_t* bits;
};

struct DeviceContext {
    GdiObject* font;
    GdiObject* bitmap;
    COLORREF   text;
};

void Post(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (g_queueCount == 64) return;  // a full queue drops the message, as PostMessage fails
    MSG& m = g_queue[(g_queueHead + g_queueCount++) % 64];
    m = MSG{};
    m.hwnd = reinterpret_cast<HWND>(&g_theWindow);
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
}

}  // namespace

HMODULE GetModuleHandleA(LPCSTR) { return nullptr; }

void ExitProcess(UINT)
{
    web_halt();
    std::abort();  // not reached: the page drops this run of the program
}

WORD RegisterClassA(const WNDCLASSA* wc)
{
    g_windowProc = wc->lpfnWndProc;
    return 1;
}

HWND CreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD style, int, int, int, int, HWND, HMENU, HINSTANCE, void*)
{
    // A visible window is activated as it is made: Windows sends WM_ACTIVATE (WA_ACTIVE) before
    // CreateWindowEx returns. The page is in front when the gesture that started the run came.
    HWND window = reinterpret_cast<HWND>(&g_theWindow);
    if ((style & WS_VISIBLE) && g_windowProc) g_windowProc(window, WM_ACTIVATE, 1, 0);
    return window;
}

BOOL ShowWindow(HWND, int) { return TRUE; }
BOOL UpdateWindow(HWND) { return TRUE; }
int ShowCursor(BOOL show) { return show ? 0 : -1; }
BOOL ValidateRect(HWND, const RECT*) { return TRUE; }
BOOL TranslateMessage(const MSG*) { return FALSE; }
LRESULT DefWindowProcA(HWND, UINT, WPARAM, LPARAM) { return 0; }

void PostQuitMessage(int)
{
    g_quitPosted = true;
}

BOOL PeekMessageA(MSG* msg, HWND, UINT, UINT, UINT)
{
    for (int32_t e; (e = web_next_event()) != 0;) {
        if (e == WEB_EVENT_ESCAPE) Post(WM_KEYDOWN, VK_ESCAPE, 1);
        if (e == WEB_EVENT_DEACTIVATE) Post(WM_ACTIVATE, 0, 0);  // WA_INACTIVE
    }
    if (g_queueCount > 0) {
        *msg = g_queue[g_queueHead];
        g_queueHead = (g_queueHead + 1) % 64;
        g_queueCount--;
        return TRUE;
    }
    if (g_quitPosted) {
        g_quitPosted = false;
        *msg = MSG{};
        msg->message = WM_QUIT;
        return TRUE;
    }
    return FALSE;
}

LRESULT DispatchMessageA(const MSG* msg)
{
    // WM_QUIT has no window, so no window procedure sees it.
    if (!msg->hwnd || !g_windowProc) return 0;
    return g_windowProc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

// ---- GDI: memory DCs, one font, DIB sections ----------------------------------------------------

HDC CreateCompatibleDC(HDC)
{
    return reinterpret_cast<HDC>(std::calloc(1, sizeof(DeviceContext)));
}

BOOL DeleteDC(HDC dc)
{
    std::free(dc);
    return TRUE;
}

HFONT CreateFontA(int height, int, int, int, int weight, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD, DWORD,
                  LPCSTR)
{
    WEB_REQUIRE(height == kFontCell && weight >= FW_BOLD, "font other than the bold 16-pixel one");
    GdiObject* f = static_cast<GdiObject*>(std::calloc(1, sizeof(GdiObject)));
    f->kind = GdiObject::FONT;
    f->height = height;
    f->weight = weight;
    return reinterpret_cast<HFONT>(f);
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT, void** bits, void*, DWORD)
{
    const BITMAPINFOHEADER& h = info->bmiHeader;
    WEB_REQUIRE(h.biBitCount == 32 && h.biCompression == BI_RGB && h.biHeight < 0, "DIB section format");
    GdiObject* b = static_cast<GdiObject*>(std::calloc(1, sizeof(GdiObject)));
    b->kind = GdiObject::BITMAP;
    b->width = h.biWidth;
    b->rows = -h.biHeight;
    b->bits = static_cast<uint32_t*>(std::calloc(static_cast<size_t>(b->width) * b->rows, 4));
    *bits = b->bits;
    return reinterpret_cast<HBITMAP>(b);
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object)
{
    DeviceContext* c = reinterpret_cast<DeviceContext*>(dc);
    GdiObject* o = reinterpret_cast<GdiObject*>(object);
    GdiObject** slot = o->kind == GdiObject::FONT ? &c->font : &c->bitmap;
    GdiObject* old = *slot;
    *slot = o;
    return reinterpret_cast<HGDIOBJ>(old);
}

BOOL DeleteObject(HGDIOBJ object)
{
    GdiObject* o = reinterpret_cast<GdiObject*>(object);
    if (o->kind == GdiObject::BITMAP) std::free(o->bits);
    std::free(o);
    return TRUE;
}

int SetMapMode(HDC, int mode)
{
    WEB_REQUIRE(mode == MM_TEXT, "map mode");
    return MM_TEXT;
}

UINT SetTextAlign(HDC, UINT align)
{
    WEB_REQUIRE(align == (TA_LEFT | TA_TOP), "text alignment");
    return 0;
}

COLORREF SetTextColor(HDC dc, COLORREF colour)
{
    DeviceContext* c = reinterpret_cast<DeviceContext*>(dc);
    COLORREF old = c->text;
    c->text = colour;
    return old;
}

COLORREF SetBkColor(HDC, COLORREF colour)
{
    WEB_REQUIRE(colour == RGB(0, 0, 0), "background colour");  // the DIB is cleared to black
    return 0;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size)
{
    WEB_REQUIRE(count == 1 && reinterpret_cast<const DeviceContext*>(dc)->font, "text measure");
    size->cx = kGlyphAdvance[GlyphIndex(static_cast<uint8_t>(text[0]))];
    size->cy = kFontCell;
    return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT, const RECT*, LPCSTR text, UINT count, const INT*)
{
    const DeviceContext* c = reinterpret_cast<const DeviceContext*>(dc);
    WEB_REQUIRE(c->font && c->bitmap, "text output without a font or a bitmap");
    const COLORREF t = c->text;
    const uint32_t colour = (t & 0xFF) << 16 | (t & 0xFF00) | (t >> 16 & 0xFF);
    const GdiObject* b = c->bitmap;
    for (UINT i = 0; i < count; i++) {
        const int32_t g = GlyphIndex(static_cast<uint8_t>(text[i]));
        for (int32_t r = 0; r < kFontCell && y + r < b->rows; r++) {
            if (y + r < 0) continue;
            for (uint32_t bits = kGlyphRows[g][r]; bits; bits &= bits - 1) {
                const int32_t px = x - 8 + __builtin_ctz(bits);
                if (px >= 0 && px < b->width) b->bits[(y + r) * b->width + px] = colour;
            }
        }
        x += kGlyphAdvance[g];
    }
    return TRUE;
}

// ExtTextOutA has written its pixels already.
BOOL GdiFlush()
{
    return TRUE;
}
