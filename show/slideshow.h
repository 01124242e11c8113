// show/slideshow.h -- the slideshow's timer and cross-fade, and the end sequence's glide and fades.
// The arithmetic is portable (slideshow.cpp); SlideshowFrame and EndSequenceFrame draw it
// (slideshow_d3d8.cpp).
#pragma once
#include <cstdint>

#include "show/vertices.h"

enum { kSlides = 7, kEndCardSlide = 3 };

struct SlideshowState {
    float   timer;          // seconds within the 7-second cycle
    uint8_t crossFade;      // 1 while the next slide fades in over the current one
    int32_t index;          // the slide currently shown, 0..6
};

// Starts at 2.0 with the cross-fade flag set: the first picture on screen is slide 1, opaque
// over slide 0, and the order is 1, 2, 3, 4, 5, 6, 0, 1...
extern const SlideshowState g_slideshowStart;

// The slide quad at x 32..288, y 112..368 with colour 0; the end sequence moves its x values.
extern const QuadVertex g_slideQuadTemplate[4];

int32_t NextSlide(int32_t index);

// The first half of a frame: the fade-in alpha of the next slide (255 from 2.0 on), and, on the
// first frame at 3.0 or later, the advance to that slide.
uint8_t SlideshowLevel(SlideshowState* s);

// The second half: the timer moves on by the frame time and drops by 7 past 7.0. A frame that
// carries it from below 3.0 past 7.0 skips the advance and starts the same cross-fade again.
void SlideshowAdvance(SlideshowState* s, float frameTime);

enum EndPhase { kEndArrival, kEndHold, kEndFade };

// The end card for end timer t: its colour, and during the arrival the quad's new x values
// (vertices 0 and 2 get left, 1 and 3 right). After the arrival the quad stays where it is.
EndPhase EndCardLook(float t, uint32_t* colour, QuadVertex quad[4]);

// The end timer moves on by the frame time; true once it has passed 7 seconds (every frame after).
bool EndTimerAdvance(float* timer, float frameTime);

// The drawing half (slideshow_d3d8.cpp) and its state.
extern SlideshowState g_slideshow;    // from g_slideshowStart; never reset
extern QuadVertex     g_slideQuad[4]; // shared by slides and end card; x moved by the end sequence
extern float          g_endTimer;     // seconds since the first closing frame

void SlideshowFrame();                // the slide, the next one fading in over it; moves the timer
void EndSequenceFrame();              // slideshow, end card over it, and the quit after 7 s
