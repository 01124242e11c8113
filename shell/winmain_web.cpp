// shell/winmain_web.cpp -- the page's entry point: the page calls main once per run of the show.
#include "shell/app.h"

int main()
{
    AppMain();
}

#include <emscripten/emscripten.h>

#include "assets/assets.h"

// The start screen's still: the title picture (256 x 256 R5G6B5) the program carries.
extern "C" EMSCRIPTEN_KEEPALIVE const uint8_t* web_title_image()
{
    return g_titleImage;
}
