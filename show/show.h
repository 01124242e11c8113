// show/show.h -- the show's three entry points for the shell, and its fade overlay.
// ShowInit, ShowFrame, ShowRelease and DrawFadeOverlay draw with Direct3D (show_d3d8.cpp); the
// fades' numbers are portable (fade.cpp), and the host builds draw nothing (show_host.cpp).
#pragma once
#include <cstdint>

struct PlayerState;

// What the application hands the show (defined in fade.cpp, so they build everywhere):
extern int32_t      g_active;   // wParam of the last WM_ACTIVATE; cleared by Escape, close, destroy, quit
extern PlayerState* g_player;   // null until the module has loaded

void ShowInit();            // stage-0 filters, lighting off, the title card, then every effect's resources
void ShowFrame();           // one frame of the composition; between BeginScene and EndScene
void ShowRelease();         // releases what ShowInit made, in mirror order; safe after a partial init

void DrawFadeOverlay();     // the black full-screen quad at opacity g_fadeLevel

// One frame of a fade each; 1 when the fade has completed, else 0.
int32_t OpeningFadeStep();  // lowers g_fadeLevel by 0.5 per second, drawing the overlay first
int32_t ClosingFadeStep();  // raises it again and lowers the music's global volume with it
