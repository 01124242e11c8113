// web/web.h -- what the browser build's platform pieces share: the page's JavaScript side
// (web/library_web.js) and the hooks between the Direct3D, Win32 and sound layers.
#pragma once
#include <cstdint>

extern "C" {
// The page (library_web.js).
void    web_wait_frame();                   // sleeps until the next animation frame (or a hidden page's timer)
void    web_halt();                         // tells the page the run is over and never returns to the program
int32_t web_next_event();                   // the next browser event for the window: WEB_EVENT_*, 0 when none
void    web_fail(const char* what);         // a call or state outside the supported set (debug builds abort)
}

enum { WEB_EVENT_ESCAPE = 1, WEB_EVENT_DEACTIVATE = 2 };

// The sound device (audio/wave_device_web.cpp): one poll of the audio loop, then the worklet is fed.
void WebAudioPoll();

// Unsupported calls and states fail loudly in a debug build and are ignored in a release build.
#ifdef NDEBUG
#define WEB_REQUIRE(cond, what) ((void)0)
#else
#define WEB_REQUIRE(cond, what) ((cond) ? (void)0 : web_fail(what))
#endif
