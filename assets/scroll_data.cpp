// assets/scroll_data.cpp -- the scroll text: Windows-1252 bytes with CRLF line ends, a NUL, and
// zeros up to 64 KiB, so the layout may read ahead freely. The build fails if the text ever
// outgrows the array (the fill count would turn negative).
#include "assets/incbin.h"

asm(QE_RODATA_SECTION
    QE_INCBIN_ITEM(g_scrollText, "scroll.txt", 16)
    ".byte 0\n"
    ".fill 65536 - (. - " QE_SYMBOL(g_scrollText) "), 1, 0\n"
    ".text\n");
