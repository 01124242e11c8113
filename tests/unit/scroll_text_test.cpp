// The embedded scroll text: its bytes are the file's, and its shape is what the line layout can
// cope with (CRLF ends, Windows-1252 letters it can measure, a break character at least every 15
// characters so no word is wider than a line).
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "assets/assets.h"
#include "support/files.h"

namespace {

bool IsBreak(uint8_t c) { return c == ' ' || c == '.' || c == ',' || c == ';' || c == '!' || c == '?'; }

}  // namespace

TEST(ScrollText, EmbeddedBytesAreTheFileThenZeros)
{
    std::string file = ReadFileBytes(QE_SOURCE_DIR "/assets/scroll.txt");
    ASSERT_FALSE(file.empty());
    ASSERT_EQ(ScrollTextSize(), static_cast<int32_t>(file.size()));
    EXPECT_EQ(0, std::memcmp(g_scrollText, file.data(), file.size()));
    for (size_t i = file.size(); i < sizeof g_scrollText; i++) ASSERT_EQ(g_scrollText[i], 0) << "offset " << i;
}

TEST(ScrollText, ShapeFitsTheLayout)
{
    const uint8_t* text = g_scrollText;
    int32_t size = ScrollTextSize();
    EXPECT_GE(size, 3000);
    EXPECT_LE(size, 4500);
    ASSERT_GE(size, 2);
    EXPECT_EQ(text[size - 2], '\r');
    EXPECT_EQ(text[size - 1], '\n');

    int lines = 0, empty = 0, accents = 0, lineLength = 0, longestLine = 0, run = 0, longestRun = 0;
    for (int32_t i = 0; i < size; i++) {
        uint8_t c = text[i];
        if (c == '\r') {
            ASSERT_TRUE(i + 1 < size && text[i + 1] == '\n') << "bare CR at " << i;
            continue;
        }
        if (c == '\n') {
            ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << "bare LF at " << i;
            lines++;
            if (lineLength == 0) empty++;
            lineLength = 0;
            run = 0;
            continue;
        }
        // Printable ASCII, or one of the three accented letters the font is known to carry.
        bool accented = c == 0xE0 || c == 0xE8 || c == 0xE9;
        ASSERT_TRUE((c >= 0x20 && c < 0x7F) || accented) << "byte 0x" << std::hex << int(c) << " at " << std::dec << i;
        accents += accented;
        lineLength++;
        if (lineLength > longestLine) longestLine = lineLength;
        run = IsBreak(c) ? 0 : run + 1;
        if (run > longestRun) longestRun = run;
    }
    EXPECT_GE(lines, 70);
    EXPECT_LE(lines, 90);
    EXPECT_GE(empty, 20);
    EXPECT_LE(empty, 35);
    EXPECT_GE(accents, 10);
    EXPECT_LE(longestLine, 300);
    EXPECT_LE(longestRun, 15);
}
