// assets/music_data.cpp -- the music module, first in the embedded data.
#include "assets/incbin.h"

asm(QE_RODATA_SECTION
    QE_INCBIN_ITEM(g_moduleData, "music.xm", 16)
    ".text\n");
