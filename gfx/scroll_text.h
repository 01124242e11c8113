// gfx/scroll_text.h -- the scroll text: laid out once with GDI, rendered line by line into a ring
// texture, scrolled up through the right half of the band at 6.4 pixels per second.
#pragma once
#include <windows.h>
#include <d3d8.h>

#include "gfx/scroll_layout.h"

struct TextScroller {
    IDirect3DTexture8*      sysTexture;     // ring in system memory, R5G6B5; lines are written here
    IDirect3DTexture8*      texture;        // the same in the default pool; this one is drawn
    int32_t                 textureSize;    // 512, or 256 where textures may not be 512 wide
    int32_t                 lineHeight;     // font height and ring rows per line: 16, or 8
    int32_t                 lineWidth;      // widest line in pixels and width of the DIB: 256
    int32_t                 lineCount;
    ScrollLine*             firstLine;      // the lines form a ring
    ScrollLine*             nextLine;       // rendered next
    int32_t                 writeRow;       // ring row of the next line: from 384, or 248
    float                   scroll;         // band's vertical texture offset, texture units, <= 1.0
    float                   lineProgress;   // texture units scrolled since the last line was rendered
    IDirect3DVertexBuffer8* vertexBuffer;   // the band's 34 vertices (17 rows, left and right)
    IDirect3DIndexBuffer8*  indexBuffer;    // 64 indices: 16 strips of 4
    HDC                     dc;             // memory DC with the DIB section and the font selected
    HFONT                   font;           // bold "Tahoma" at lineHeight, not anti-aliased
    HBITMAP                 dib;
    uint32_t*               dibBits;        // lineWidth x lineHeight 32-bit pixels, top row first

    int32_t Init();                         // 0, or -1 (texture width below 256, texture or font refused)
    void    DrawLine(ScrollLine* line);     // renders a line into the ring at writeRow and uploads it
    void    Render();                       // draws the band and advances the scroll (once per frame)
    void    Release();                      // everything it holds, lines included
};

// Builds the band's buffers in a zero-filled scroller, then Init; returns Init's result.
int32_t TextScrollerCreate(TextScroller* scroller);

// The device the scroller draws with; the show's device unless a test says otherwise.
IDirect3DDevice8* ScrollDevice();
void              ScrollUseDevice(IDirect3DDevice8* device);  // null: back to the show's device
