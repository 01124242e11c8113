// tests/fuzz/scroll_layout_fuzz.cpp -- libFuzzer target: the scroll text's line breaking on a text
// from outside data. Input: the line width (2 bytes, signed little-endian), 16 character widths
// (character c is table[c % 16] pixels wide), then the text (up to the end or a NUL). Built by the
// native-asan preset (ASan + UBSan). Besides the sanitizers' checks it demands that the lines form
// a ring of the count reported, that each line's width is what its characters add up to and fits
// the line (a single character may stand alone wider), that the lines hold the text in order with
// nothing lost but the carriage returns, the line feeds and one break character at a line's end,
// that an empty line comes only from a line feed (or a lone too-wide character, see advance), and
// that every block comes back.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "base/heap.h"
#include "gfx/scroll_layout.h"
#include "tests/fuzz/fuzz_check.h"

namespace {

struct Widths {
    uint8_t table[16];
};

int32_t width_of(void* context, uint8_t c)
{
    return static_cast<const Widths*>(context)->table[c % 16];
}

bool is_break(char c)
{
    return c == ' ' || c == '.' || c == ',' || c == ';' || c == '!' || c == '?';
}

// rest[k]: pixels from text[k] up to the end of its text line (carriage returns take none).
void measure_rest(const char* text, Widths* widths, std::vector<int64_t>* rest)
{
    const size_t n = strlen(text);
    rest->assign(n + 1, 0);
    for (size_t k = n; k-- > 0;) {
        if (text[k] == '\n') continue;
        (*rest)[k] = (*rest)[k + 1] + (text[k] == '\r' ? 0 : width_of(widths, static_cast<uint8_t>(text[k])) + 1);
    }
}

// The last break character from text[k] up to the character that takes a line of `width` pixels to
// `fits` or more (the text line must get there).
size_t last_break(const char* text, size_t k, int64_t width, int32_t fits, Widths* widths)
{
    size_t found = k;
    for (size_t j = k;; j++) {
        if (text[j] == '\r') continue;
        if (is_break(text[j])) found = j;
        width += width_of(widths, static_cast<uint8_t>(text[j])) + 1;
        if (width >= fits) return found;
    }
}

// The positions in the text at which the line after this one may start, given those at which this
// one may start. A line is its characters (carriage returns in the text skipped), then what ended
// it: a line feed; the end of the text (the last line only); or, when the text line would not fit,
// nothing (the next character did not fit) or the last break character before the first that did
// not fit. A character wider than a whole line stands alone, even before a line feed; carriage
// returns before it become an empty line of their own.
void advance(const char* text, const char* line, int32_t width, int32_t fits, bool last, const std::vector<size_t>& from,
             const std::vector<int64_t>& rest, Widths* widths, std::vector<size_t>* to)
{
    to->clear();
    const size_t n = strlen(line);
    const bool alone = n == 1 && width >= fits;
    for (size_t k : from) {
        const size_t begin = k;
        size_t i = 0;
        while (i < n) {
            if (text[k] == '\r') {
                k++;
            } else if (text[k] == line[i]) {
                k++;
                i++;
            } else {
                break;  // also at the text's end: line[i] is no NUL
            }
        }
        if (i < n) continue;  // the line does not stand here
        const size_t end = k;  // where a line cut by width leaves the text (before any carriage returns)
        while (text[k] == '\r') k++;
        const char c = text[k];
        if (last) {
            if (c == 0) to->push_back(k);
            continue;
        }
        if (c == '\n') to->push_back(k + 1);
        if (c == 0) {
            // Only the last line ends at the text's end; carriage returns after a character that
            // stood alone make that last line.
            if (alone && k > end) to->push_back(end);
            continue;
        }
        const int32_t next = c == '\n' ? 0 : width_of(widths, static_cast<uint8_t>(c)) + 1;
        // Only a line feed ends an empty line, unless the line held carriage returns: then the
        // character after them may have been too wide for the line on its own.
        if (n == 0 && k == begin) continue;
        // Cut without a break character: the line holds none after its first character, and the
        // next one, which did not fit, is none either.
        if (alone || (c != '\n' && width + next >= fits && !is_break(c) && !std::any_of(line + 1, line + n, is_break)))
            to->push_back(end);
        // Cut at a break character: the last one up to the character that did not fit.
        if (!alone && is_break(c) && width + rest[k] >= fits && last_break(text, k, width, fits, widths) == k)
            to->push_back(k + 1);
    }
    std::sort(to->begin(), to->end());
    to->erase(std::unique(to->begin(), to->end()), to->end());
}

void check_lines(const char* text, ScrollLine* first, int32_t count, int32_t lineWidth, Widths* widths)
{
    check(first != nullptr && count >= 1);
    check(static_cast<size_t>(count) <= strlen(text) + 1);
    const int32_t fits = lineWidth < 1 ? 1 : lineWidth;
    std::vector<size_t> at{0}, next;
    std::vector<int64_t> rest;
    measure_rest(text, widths, &rest);
    const ScrollLine* line = first;
    for (int32_t i = 0; i < count; i++, line = line->next) {
        check(line != nullptr && (i == 0 || line != first));
        const char* t = line->text ? line->text : "";
        int32_t sum = 0;
        for (const char* c = t; *c; c++) {
            check(*c != '\r' && *c != '\n');
            sum += width_of(widths, static_cast<uint8_t>(*c)) + 1;
        }
        check(line->width == sum);
        check(sum < fits || strlen(t) == 1);
        advance(text, t, sum, fits, i == count - 1, at, rest, widths, &next);
        check(!next.empty());
        at.swap(next);
    }
    check(line == first);  // the last line leads back to the first
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 18) return 0;
    const int32_t lineWidth = static_cast<int16_t>(data[0] | data[1] << 8);
    Widths widths;
    memcpy(widths.table, data + 2, 16);
    std::vector<char> text(size - 18 + 1);  // exactly the text and its NUL
    memcpy(text.data(), data + 18, size - 18);

    const int32_t before = MemLiveBlocks();
    int32_t count = 0;
    ScrollLine* first = ScrollLayout(text.data(), lineWidth, width_of, &widths, &count);
    check_lines(text.data(), first, count, lineWidth, &widths);
    ScrollFreeLines(first, count);
    check(MemLiveBlocks() == before);
    return 0;
}
