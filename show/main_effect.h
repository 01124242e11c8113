// show/main_effect.h -- the main effect: the lower rainbow line, the turning globe in the
// bottom-left corner with its additive particle ring, and the upper rainbow line.
// Platform layer: main_effect_d3d8.cpp; the numbers are in main_effect_math.h and camera.h.
#pragma once
#include <cstdint>

#include "show/camera.h"
#include "show/main_effect_math.h"

extern float   g_effectTime;     // seconds of the effect's own clock
extern float   g_lineScroll;     // pixels, in (-40, 0] after each frame
extern int32_t g_linePhase;      // rainbow index of the lines' first column, 0..23
extern Matrix4 g_worldMatrix;    // the globe's turn; only the upper-left 3 x 3 changes
extern Camera  g_globeCamera;    // eye (0, -400, 100), target 0, roll 0.3

void MainEffectInit();           // globe mesh, ring (1,024 Random() draws), indices, textures
void MainEffectFrame();
void MainEffectRelease();        // safe after a partial init
