// audio/polled_loop.h -- the audio thread where there is none: its procedure runs on a fiber of the
// main thread, one poll after each frame (it reads the position, renders the slices the device has
// left, and its 5 ms sleep switches back), so what it renders never depends on scheduling. The
// page's wave device (wave_device_web.cpp) and the capture build's (tools/capture/) run it over
// their platform's fibers: Fibers::Make(entry) (false: no fiber), ToAudio(), ToMain() and Free().
// Start, Join and Sleep serve the device's wave_device_thread_* calls. Main thread only.
#pragma once

template <class Fibers>
struct PolledLoop {
    static inline void (*proc)();
    static inline bool made;                // a fiber holds a procedure not yet joined
    static inline bool inAudio;             // the audio fiber is the one running
    static inline bool done;                // its procedure has returned

    static void Entry()
    {
        proc();
        done = true;
        for (;;) Fibers::ToMain();          // a fiber never returns
    }
    static void SwitchToAudio() { inAudio = true; Fibers::ToAudio(); inAudio = false; }
    static void Poll() { if (made && !done && !inAudio) SwitchToAudio(); }
    static bool Start(void (*p)())
    {
        if (made) return false;
        proc = p;
        done = false;
        return made = Fibers::Make(Entry);
    }
    static void Join()
    {
        if (!made) return;
        while (!done) SwitchToAudio();
        Fibers::Free();
        made = false;
    }
    // Inside the fiber the poll is over: back to the frame loop. On the main thread, waiting for
    // the audio thread, the fiber runs. Either is a sleep; false: nothing to switch to, sleep really.
    static bool Sleep()
    {
        if (inAudio) Fibers::ToMain();
        else if (made && !done) SwitchToAudio();
        else return false;
        return true;
    }
};
