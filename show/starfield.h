// show/starfield.h -- the starfield and the corner caption: 2048 additive single-pixel stars
// flying out of the middle of the screen inside the band y 60..420, and a caption image in the
// bottom-right corner. Drawn first in every frame of the running show.
// Platform layer: starfield_d3d8.cpp; the numbers are in starfield_math.h.
#pragma once

#include "show/starfield_math.h"

extern Star g_stars[kStars];  // the star table; only the depths change after init

void StarfieldInit();         // star buffer, star table (6,144 Random() draws), caption texture
void StarfieldFrame();        // caption, then the stars from their depths, then moves them
void StarfieldRelease();      // safe after a partial init
