// Scroll text layout with a fixed width table, and the band's motion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/heap.h"
#include "gfx/scroll_layout.h"

namespace {

// Every character 9 pixels wide (10 with the pen's extra pixel), 'W' 19 (20). A 100-pixel line
// therefore holds nine characters: the tenth brings the width to 100, which counts as too wide.
int32_t FixedWidth(void*, uint8_t c)
{
    return c == 'W' ? 19 : 9;
}

struct Laid {
    std::vector<std::string> text;
    std::vector<int32_t> width;
};

Laid Layout(const std::string& s, int32_t lineWidth = 100)
{
    int32_t before = MemLiveBlocks();
    int32_t count = 0;
    ScrollLine* first = ScrollLayout(s.c_str(), lineWidth, FixedWidth, nullptr, &count);
    Laid out;
    ScrollLine* line = first;
    for (int32_t i = 0; i < count; i++, line = line->next) {
        out.text.push_back(line->text ? line->text : "");
        out.width.push_back(line->width);
    }
    EXPECT_EQ(line, first) << "the lines form a ring";
    ScrollFreeLines(first, count);
    EXPECT_EQ(MemLiveBlocks(), before);
    return out;
}

}  // namespace

TEST(ScrollLayout, ParagraphsAndTheFinalEmptyLine)
{
    Laid l = Layout("One two\r\n\r\nThree\r\n");
    EXPECT_EQ(l.text, (std::vector<std::string>{"One two", "", "Three", ""}));
    EXPECT_EQ(l.width, (std::vector<int32_t>{70, 0, 50, 0}));
}

TEST(ScrollLayout, BreaksAtTheLastBreakCharacter)
{
    // 100 pixels hold ten plain characters; the eleventh makes the line too wide.
    const std::string b40(40, 'b');
    const struct { std::string in; std::vector<std::string> lines; } cases[] = {
        // the character that makes the line too wide is itself the space
        {"aaaa bbbb cccc\r\n", {"aaaa bbbb", "cccc", ""}},
        // otherwise the line breaks at the last space before it
        {"aaaa bbbbb cc\r\n", {"aaaa", "bbbbb cc", ""}},
        {"aa! bb? c; dd\r\n", {"aa! bb? c", " dd", ""}},
        // a comma directly after a word makes the line too wide: the comma vanishes and the next
        // line starts with the space that followed it
        {"aaaaaaaaa, bb\r\n", {"aaaaaaaaa", " bb", ""}},
        {"aaaa " + b40 + "\r\n", {"aaaa", "bbbbbbbbb", "bbbbbbbbb", "bbbbbbbbb", "bbbbbbbbb", "bbbb", ""}},
    };
    for (const auto& c : cases) EXPECT_EQ(Layout(c.in).text, c.lines) << c.in;
    // Each break character on its own; any other character is part of a word.
    for (char c : {' ', '.', ',', ';', '!', '?'})
        EXPECT_EQ(Layout(std::string("aaaa") + c + "bbbbbbb\r\n").text, (std::vector<std::string>{"aaaa", "bbbbbbb", ""})) << c;
    EXPECT_EQ(Layout("aaaa-bbbbbbb\r\n").text, (std::vector<std::string>{"aaaa-bbbb", "bbb", ""}));
    EXPECT_EQ(Layout("a\x01" "b\r\n").text, (std::vector<std::string>{"a\x01" "b", ""}));  // a control byte is a character

    Laid l = Layout("aaaaaaaaa, bb\r\n");
    EXPECT_EQ(l.width[0], 90);
    EXPECT_EQ(l.width[1], 30);  // the leading space counts in the width (and the centring)
}

TEST(ScrollLayout, LongRunsKeepEveryCharacter)
{
    // A run wider than a line with no break character: the line ends before the character that
    // made it too wide, and the next line starts with that character.
    Laid l = Layout("abcdefghijklmnopqrstuvwxyz\r\n");
    EXPECT_EQ(l.text, (std::vector<std::string>{"abcdefghi", "jklmnopqr", "stuvwxyz", ""}));
    EXPECT_EQ(l.width, (std::vector<int32_t>{90, 90, 80, 0}));
    // A line that starts with a break character has no break before the overflow either.
    EXPECT_EQ(Layout(" abcdefghijkl\r\n").text, (std::vector<std::string>{" abcdefgh", "ijkl", ""}));
    // Characters wider than a whole line stand alone, one per line.
    EXPECT_EQ(Layout("WWW", 15).text, (std::vector<std::string>{"W", "W", "W"}));
}

TEST(ScrollLayout, ExactFitCountsAsTooWide)
{
    // Ten characters reach exactly 100 pixels: the scan stops there and the line breaks at its
    // last space, as the text has always been laid out.
    EXPECT_EQ(Layout("aaaa bbbbb\r\nc\r\n").text, (std::vector<std::string>{"aaaa", "bbbbb", "c", ""}));
}

TEST(ScrollMotion, AdvanceRendersOneLinePerFrameAndWraps)
{
    float scroll = 0.0f, progress = 0.0f;
    // 512 texture, 256-pixel lines: 6.4 rows per second, a 16-row line every 2.5 s.
    EXPECT_FALSE(ScrollAdvance(&scroll, &progress, 2.4f, 256, 512, 16));
    EXPECT_TRUE(ScrollAdvance(&scroll, &progress, 0.2f, 256, 512, 16));
    EXPECT_NEAR(scroll * 512, 6.4f * 2.6f, 1e-3);
    EXPECT_NEAR(progress * 512, 6.4f * 2.6f - 16, 1e-3);
    // The 256 texture with its 8-row lines keeps the same 6.4 rows per second: a line every 1.25 s.
    float s256 = 0.0f, p256 = 0.0f;
    EXPECT_FALSE(ScrollAdvance(&s256, &p256, 1.2f, 256, 256, 8));
    EXPECT_TRUE(ScrollAdvance(&s256, &p256, 0.1f, 256, 256, 8));

    // A long frame covering several lines renders one now and one in each following frame.
    progress = 0.0f;
    EXPECT_TRUE(ScrollAdvance(&scroll, &progress, 10.0f, 256, 512, 16));   // 64 rows: four lines
    EXPECT_TRUE(ScrollAdvance(&scroll, &progress, 0.0f, 256, 512, 16));
    EXPECT_TRUE(ScrollAdvance(&scroll, &progress, 0.0f, 256, 512, 16));
    EXPECT_FALSE(ScrollAdvance(&scroll, &progress, 0.0f, 256, 512, 16));  // the fourth is not yet over
    EXPECT_NEAR(progress * 512, 16.0f, 1e-3);

    EXPECT_EQ(ScrollNextWriteRow(384, 16, 512), 400);
    EXPECT_EQ(ScrollNextWriteRow(480, 16, 512), 496);
    EXPECT_EQ(ScrollNextWriteRow(496, 16, 512), 0);
    EXPECT_EQ(ScrollNextWriteRow(248, 8, 256), 0);

    // scroll is reduced only once it exceeds 1.0.
    scroll = 1.0f - 6.4f / 512 * 0.5f;
    ScrollAdvance(&scroll, &progress, 0.5f, 256, 512, 16);
    EXPECT_EQ(scroll, 1.0f);
    ScrollAdvance(&scroll, &progress, 0.5f, 256, 512, 16);
    EXPECT_NEAR(scroll, 6.4f / 512 * 0.5f, 1e-6);
}

TEST(ScrollMotion, BandTextureCoordinates)
{
    float tu, tv;
    ScrollBandTexCoords(512, 0.25f, 0, 0, &tu, &tv);
    EXPECT_FLOAT_EQ(tu, 96.0f / 512);
    EXPECT_FLOAT_EQ(tv, 0.25f);
    ScrollBandTexCoords(512, 0.25f, 16, 1, &tu, &tv);
    EXPECT_FLOAT_EQ(tu, 416.0f / 512);
    EXPECT_FLOAT_EQ(tv, 360.0f / 512 + 0.25f);
    ScrollBandTexCoords(256, 0.0f, 8, 1, &tu, &tv);
    EXPECT_FLOAT_EQ(tu, (256.0f - 320) / 512 + 320.0f / 256);
    EXPECT_FLOAT_EQ(tv, 360.0f / 256 / 2);
}
