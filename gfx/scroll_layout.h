// gfx/scroll_layout.h -- the scroll text's numbers: breaking the text into lines no wider than a
// line, and the band's motion. Portable; the character widths come from the caller (GDI on Windows).
#pragma once
#include <cstdint>

struct ScrollLine {
    char*       text;           // own NUL-terminated copy of the line, carriage returns removed
    int32_t     width;          // laid-out width in pixels
    ScrollLine* next;           // the following line; the last one points back to the first
};

// Width in pixels of the one-character string c; every character advances the pen by width + 1.
typedef int32_t (*CharWidthFn)(void* context, uint8_t c);

// Lays out the NUL-terminated text into a closed ring of lines from MemAlloc. Lines end at LF (a CR
// LF pair ends a line; an empty text line gives an empty line) and, when too wide, at the last break
// character (space . , ; ! ?) at or before the character that made the line too wide; that break
// character shows in neither line. *lineCount gets the number of lines; the text's final CR LF gives
// a final empty line. Returns the first line.
ScrollLine* ScrollLayout(const char* text, int32_t lineWidth, CharWidthFn width, void* context, int32_t* lineCount);
void        ScrollFreeLines(ScrollLine* first, int32_t lineCount);

// One frame of the band's motion: the text rises 0.025 x lineWidth texture rows per second.
// scroll is the band's vertical texture offset (texture units), reduced only once it exceeds 1.0;
// lineProgress counts the units since the last line was rendered. Returns true when the next line
// is due now (its height is then taken off lineProgress): at most one line per frame, the rest of
// a long frame's progress carries over to the following frames.
bool ScrollAdvance(float* scroll, float* lineProgress, float frameTime,
                   int32_t lineWidth, int32_t textureSize, int32_t lineHeight);

// The ring row after a line written at writeRow: lineHeight further down, wrapping to the top.
int32_t ScrollNextWriteRow(int32_t writeRow, int32_t lineHeight, int32_t textureSize);

// Texture coordinates of band row s (0..16) at end j (0 left, 1 right).
void ScrollBandTexCoords(int32_t textureSize, float scroll, int32_t s, int32_t j, float* tu, float* tv);
