// gfx/scroll_layout.cpp -- line breaking and band motion of the scroll text.
// Portable; the layout runs once at start-up, the motion once per frame on the main thread.
#include "gfx/scroll_layout.h"

#include "base/heap.h"

static bool IsBreak(uint8_t c)
{
    return c == ' ' || c == '.' || c == ',' || c == ';' || c == '!' || c == '?';
}

static ScrollLine* MakeLine(const uint8_t* start, const uint8_t* end, int32_t width)
{
    ScrollLine* line = static_cast<ScrollLine*>(MemAlloc(sizeof(ScrollLine)));
    if (end == start) return line;  // an empty line: no text, width 0
    char* text = static_cast<char*>(MemAlloc(static_cast<size_t>(end - start) + 1));
    char* out = text;
    for (const uint8_t* p = start; p < end; p++) {
        if (*p != '\r') *out++ = static_cast<char>(*p);
    }
    line->text = text;
    line->width = width;
    return line;
}

ScrollLine* ScrollLayout(const char* text, int32_t lineWidth, CharWidthFn widthOf, void* context, int32_t* lineCount)
{
    const uint8_t* start = reinterpret_cast<const uint8_t*>(text);
    if (lineWidth < 1) lineWidth = 1;  // every line holds at least one character
    ScrollLine* first = nullptr;
    ScrollLine* last = nullptr;
    int32_t count = 0;
    for (;;) {
        // Measure until the end of the text line or until the width reaches the line's.
        int32_t width = 0;
        const uint8_t* p = start;
        while (*p != 0 && *p != '\n' && width < lineWidth) {
            if (*p != '\r') width += widthOf(context, *p) + 1;
            p++;
        }
        const uint8_t* next = p + 1;  // where the following line starts, unless the text ends at p
        if (width >= lineWidth) {
            // Too wide: walk back to the last break character; it belongs to neither line.
            const uint8_t* end = p;
            int32_t fullWidth = width;
            for (;;) {
                p--;
                if (*p != '\r') width -= widthOf(context, *p) + 1;
                if (p == start || IsBreak(*p)) break;
            }
            next = p + 1;
            if (p == start) {
                // A run without a break character, wider than a line: end the line before the last
                // character measured and start the next line with that character, so no text is
                // lost. A single character wider than a whole line stands alone.
                const uint8_t* last_char = end - 1;
                if (last_char == start) {
                    p = end;
                    width = fullWidth;
                } else {
                    p = last_char;
                    width = fullWidth - (*last_char != '\r' ? widthOf(context, *last_char) + 1 : 0);
                }
                next = p;
            }
        }
        ScrollLine* line = MakeLine(start, p, width);
        if (last) last->next = line; else first = line;
        last = line;
        count++;
        if (*p == 0) break;
        start = next;
    }
    last->next = first;
    *lineCount = count;
    return first;
}

void ScrollFreeLines(ScrollLine* first, int32_t lineCount)
{
    ScrollLine* line = first;
    for (int32_t i = 0; i < lineCount && line; i++) {
        ScrollLine* next = line->next;
        if (line->text) MemFree(line->text);
        MemFree(line);
        line = next;
    }
}

bool ScrollAdvance(float* scroll, float* lineProgress, float frameTime,
                   int32_t lineWidth, int32_t textureSize, int32_t lineHeight)
{
    float ratio = static_cast<float>(lineWidth) / static_cast<float>(textureSize);
    float step = frameTime * ratio * 0.025f;
    *scroll += step;
    if (*scroll > 1.0f) *scroll -= 1.0f;
    *lineProgress += step;
    float lineUnits = static_cast<float>(lineHeight) / static_cast<float>(textureSize);
    if (!(*lineProgress > lineUnits)) return false;
    *lineProgress -= lineUnits;
    return true;
}

int32_t ScrollNextWriteRow(int32_t writeRow, int32_t lineHeight, int32_t textureSize)
{
    writeRow += lineHeight;
    if (writeRow >= textureSize) writeRow -= textureSize;
    return writeRow;
}

void ScrollBandTexCoords(int32_t textureSize, float scroll, int32_t s, int32_t j, float* tu, float* tv)
{
    float size = static_cast<float>(textureSize);
    *tu = (size - 320.0f) / (2.0f * size) + static_cast<float>(j) * 320.0f / size;
    *tv = (360.0f / size) * static_cast<float>(s) / 16.0f + scroll;
}
