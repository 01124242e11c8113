// tools/forge/forge.cpp -- makes every picture the show carries, from nothing but this code and the
// DejaVu fonts: the title card, seven slides, the globe, the spark and the corner caption; encodes
// them in the formats the program embeds and draws a contact sheet of them all.
// Native only. Usage: forge ASSET_DIR CONTACT_SHEET.png   (prints the PSNR of every slide)
// The output is the same, byte for byte, on every run and with either compiler: nothing here reads
// a clock or a random source, all arithmetic is the deterministic kind described in canvas.h, and
// every draw from a Scatter sits in a statement of its own (the order in which a call's arguments
// are evaluated differs between compilers). Lettering depends on the FreeType of the build machine.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gfx/dxt1.h"
#include "tools/forge/canvas.h"

namespace {

// ---- the palette of the night ----------------------------------------------------------------------

const Rgb kNight = Hex(0x04060d);        // the deep blue-black everything sits on
const Rgb kDusk = Hex(0x0d1430);
const Rgb kEmber = Hex(0xff6a1a);
const Rgb kCoal = Hex(0xc42a08);
const Rgb kGold = Hex(0xffc36a);
const Rgb kAsh = Hex(0x8a8f9e);

// Black through deep red and orange to a pale yellow: the colour of something hot, t in 0..1.
Rgb Heat(double t)
{
    t = Clamp01(t);
    if (t < 0.35) return MixRgb(Rgb{0, 0, 0}, Hex(0x7a0d02), t / 0.35);
    if (t < 0.65) return MixRgb(Hex(0x7a0d02), Hex(0xf0500c), (t - 0.35) / 0.3);
    if (t < 0.88) return MixRgb(Hex(0xf0500c), Hex(0xffb040), (t - 0.65) / 0.23);
    return MixRgb(Hex(0xffb040), Hex(0xfff0c8), (t - 0.88) / 0.12);
}

// A small deterministic sequence for placing things (sparks, flakes, stars).
struct Scatter {
    uint32_t seed;
    int32_t n = 0;
    double Next() { return Hash01(n++, 0, seed); }
};

void Stars(Canvas* c, uint32_t seed, int count, double yMax, double fadeFrom)
{
    Scatter s{seed};
    for (int i = 0; i < count; i++) {
        double x = s.Next() * c->width, y = s.Next() * yMax;
        double b = s.Next();
        b = b * b * b;
        double fade = 1 - SmoothStep(fadeFrom, yMax, y);
        Rgb tint = MixRgb(Hex(0xb8c8ff), Hex(0xffe0c0), s.Next());
        AddGlow(c, x, y, 1.2 + b * 1.6, tint * ((0.25 + b * 0.9) * fade));
    }
}

// Light smoke drifting up from (x, y): returns its density 0..1 at (px, py).
double Smoke(double px, double py, double x, double y, double spread, uint32_t seed)
{
    double up = y - py;                                   // pixels above the source
    if (up < 0) return 0;
    double sway = (Fbm(up * 0.012, 3.1, seed, 3) - 0.5) * 90 * SmoothStep(0, 160, up);
    double width = 10 + up * spread;
    double d = (px - x - sway) / width;
    double body = FExp(-d * d * 2);
    double curl = Fbm(px * 0.03 + up * 0.006, py * 0.022 + up * 0.01, seed + 9, 5);
    double wisp = SmoothStep(0.42, 0.8, curl);
    return body * wisp * SmoothStep(0, 25, up) * (1 - SmoothStep(60, 200, up));
}

Canvas NewSlide() { return Canvas(256, 256); }

// ---- slide 0: the last coals of a campfire ----------------------------------------------------------

// Distance from p to the segment a-b, and how far along it (0..1) the nearest point lies.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by, double* along)
{
    double dx = bx - ax, dy = by - ay;
    double t = Clamp01(((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy));
    *along = t;
    double ex = px - ax - t * dx, ey = py - ay - t * dy;
    return std::sqrt(ex * ex + ey * ey);
}

// A charred log lying across the coals: alligator-cracked char glowing from below. Returns the
// colour and sets *cover (0..1) where the log is.
Rgb CharredLog(double x, double y, double ax, double ay, double bx, double by, double radius, uint32_t seed, double* cover)
{
    double along;
    double d = SegmentDistance(x, y, ax, ay, bx, by, &along);
    double len = std::sqrt((bx - ax) * (bx - ax) + (by - ay) * (by - ay));
    double ragged = radius * (0.9 + 0.2 * Noise(along * len * 0.15, 0.5, seed));
    *cover = SmoothStep(ragged + 0.7, ragged - 0.7, d);
    double side = ((x - ax) * -(by - ay) + (y - ay) * (bx - ax)) / len;   // signed across
    double u = Clamp01(side / ragged * 0.5 + 0.5);                       // 0 top edge .. 1 bottom edge
    Cells scale = Voronoi(along * len / 5.5, u * 4.5, seed + 3);
    double seam = 1 - SmoothStep(0.02, 0.12, scale.f2 - scale.f1);
    double heat = 0.25 + 0.55 * u + 0.3 * Hash01(scale.cx, scale.cy, seed + 5) - 0.25 * SmoothStep(0.75, 1.0, along);
    double rim = SmoothStep(0.3, 0.0, u);                               // the upper edge catches a little sky
    Rgb charcoal = MixRgb(Hex(0x060507), Hex(0x1e1a1e), Fbm(along * len * 0.2, u * 6, seed + 7, 3));
    charcoal = charcoal + Hex(0x3a4050) * (rim * 0.6);
    return charcoal + Heat(Clamp01(heat)) * (seam * SmoothStep(0.2, 0.6, u)) + Heat(0.5) * (SmoothStep(0.7, 1.0, u) * 0.35);
}

Canvas SlideCoals()
{
    Canvas c = NewSlide();
    const double cx = 128, cy = 176;
    Shade(&c, 3, [&](double x, double y) {
        double t = y / 256;
        Rgb col = MixRgb(kNight, Hex(0x120a10), SmoothStep(0.0, 1.0, t));
        // Ground round the pit, warmed by it.
        double gx = (x - cx) / 150, gy = (y - cy) / 60;
        double near = FExp(-(gx * gx + gy * gy) * 2);
        double ground = SmoothStep(120, 140, y + (Fbm(x * 0.02, 0.2, 3, 3) - 0.5) * 20);
        Rgb earth = MixRgb(Hex(0x050508), Hex(0x16100e), Fbm(x * 0.06, y * 0.15, 51, 4)) + Hex(0x5a1a06) * (near * 0.6);
        col = MixRgb(col, earth, ground);
        // The bed of coals: lumps covered in ash, glowing in the gaps between them.
        double ex = (x - cx) / 92, ey = (y - cy) / 30;
        double r = std::sqrt(ex * ex + ey * ey);
        double bed = SmoothStep(1.0 + (Noise(x * 0.1, y * 0.1, 5) - 0.5) * 0.3, 0.8, r);
        Cells lump = Voronoi(x / 9.0, y / 5.5, 17);
        double gap = 1 - SmoothStep(0.0, 0.14, lump.f2 - lump.f1);
        double dome = 1 - SmoothStep(0.0, 0.75, lump.f1);
        double hot = Hash01(lump.cx, lump.cy, 23);
        double heat = Clamp01(1.1 - r * 0.7) * (0.35 + 0.75 * SmoothStep(0.3, 0.75, Fbm(x * 0.035, y * 0.06, 31, 4)));
        Cells crackle = Voronoi(x / 3.0, y / 2.2, 29);
        double fine = (1 - SmoothStep(0.0, 0.1, crackle.f2 - crackle.f1)) * SmoothStep(0.55, 0.9, hot);
        double ash = SmoothStep(0.4, 0.8, Fbm(x * 0.2, y * 0.3, 41, 3)) * (1 - hot) * dome;
        Rgb coal = MixRgb(Hex(0x0e0a0c), Hex(0x2a2226), dome) + kAsh * (ash * 0.35);
        coal = coal + Heat(heat * 0.95) * Clamp01(gap * 1.1) + Heat(heat * 0.85) * (fine * 0.8);
        coal = coal + Heat(heat * 0.7) * (SmoothStep(0.7, 1.0, hot) * dome * 0.5);
        col = MixRgb(col, coal, bed);
        // A ring of stones round the pit, lit on the side that faces the coals.
        for (int k = 0; k < 13; k++) {
            double a = k * 2 * kPi / 13 + 0.2;
            double sx = cx + FCos(a) * 112, sy = cy + FSin(a) * 40, sr = 10 + Hash01(k, 1, 33) * 5;
            if (sy < cy - 30) continue;                                    // the back ones are hidden in the dark
            double dx = (x - sx) / sr, dy = (y - sy) / (sr * 0.7);
            double dd = dx * dx + dy * dy;
            if (dd < 1.2) {
                double facing = Clamp01(-(dx * FCos(a) + dy * FSin(a) * 0.7));
                double edge = SmoothStep(0.3, 1.0, dd);
                Rgb stone = MixRgb(Hex(0x060609), Hex(0x16141c), Fbm(x * 0.15, y * 0.15, 37 + k, 3)) + Hex(0xb03a10) * (facing * edge * 0.6);
                col = MixRgb(col, stone, SmoothStep(1.0, 0.85, dd));
            }
        }
        double cover;
        Rgb log2 = CharredLog(x, y, 96, 196, 178, 152, 10, 61, &cover);
        col = MixRgb(col, log2, cover);
        Rgb log1 = CharredLog(x, y, 60, 164, 190, 186, 13, 67, &cover);
        col = MixRgb(col, log1, cover);
        return col;
    });
    AddGlow(&c, cx, cy - 10, 150, Hex(0x4a1606) * 0.6);
    AddGlow(&c, cx, cy, 60, Hex(0xff5010) * 0.22);
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            double s = Smoke(x, y, cx - 6, cy - 16, 0.35, 71) * 0.6 + Smoke(x, y, cx + 28, cy - 18, 0.28, 73) * 0.45;
            c.at(x, y) = c.at(x, y) + Hex(0x2a2430) * (Clamp01(s) * 0.55);
        }
    Scatter s{79};
    for (int i = 0; i < 16; i++) {
        double x = cx + (s.Next() - 0.5) * 120, y = cy - 22 - s.Next() * 110;
        double len = 3 + s.Next() * 6;
        double lean = (s.Next() - 0.5) * 4;                 // one draw per statement: the order is fixed
        double bright = 0.5 + s.Next() * 0.6;
        AddSpark(&c, x - lean, y + len, x, y, 1.0, Hex(0xffa040) * bright);
    }
    Stars(&c, 83, 70, 100, 30);
    Vignette(&c, 0.5);
    return c;
}

// ---- slide 1: sparks rising into the stars -----------------------------------------------------------

Canvas SlideSparks()
{
    Canvas c = NewSlide();
    Shade(&c, 2, [&](double x, double y) {
        double t = y / 256;
        Rgb sky = MixRgb(Hex(0x03050e), Hex(0x101a3a), SmoothStep(0.0, 0.75, t));
        sky = MixRgb(sky, Hex(0x3a1410), SmoothStep(0.55, 0.92, t));
        double hill = 222 + (Fbm(x * 0.02, 1.7, 81, 4) - 0.5) * 28 + (x - 128) * (x - 128) * 0.0008;
        double onHill = SmoothStep(hill - 0.7, hill + 0.7, y);
        Rgb land = Hex(0x06040a) + Hex(0x401004) * (FExp(-((x - 128) * (x - 128)) / 1800.0) * SmoothStep(hill, hill + 20, y) * 0.5);
        return MixRgb(sky, land, onHill);
    });
    Stars(&c, 83, 260, 200, 60);
    // A bright band of faint stars across the top, like a thin milky way.
    Scatter band{89};
    for (int i = 0; i < 400; i++) {
        double x = band.Next() * 256, off = (band.Next() + band.Next() - 1) * 22;
        double y = 40 + x * 0.28 + off;
        AddGlow(&c, x, y, 1.1, Hex(0x9aa8d8) * (0.12 + band.Next() * 0.2));
    }
    // The fire, hidden behind the hill, lights the air above it.
    AddGlow(&c, 128, 236, 130, Hex(0x6a1c06) * 0.8);
    AddGlow(&c, 128, 236, 50, Hex(0xff7020) * 0.7);
    // Sparks on curling paths: a bright head and a fading trail below it, smaller and redder as
    // they climb, until the highest are hard to tell from the stars.
    Scatter s{97};
    for (int i = 0; i < 110; i++) {
        double rise = s.Next();
        rise = rise * rise;
        double y = 226 - rise * 215;
        double x = 128 + (s.Next() - 0.5) * (16 + rise * 220);
        double heat = 1 - rise * 0.85;
        double len = 6 + heat * 18 * (0.4 + s.Next());
        double curl = (s.Next() - 0.5) * 2, phase = s.Next() * 6.28;
        Rgb colour = MixRgb(Hex(0xff4a10), Hex(0xffd890), s.Next() * heat);
        double size = 0.75 + heat * 0.55;
        int steps = static_cast<int>(len * 2);
        for (int k = steps; k >= 0; k--) {
            double f = static_cast<double>(k) / steps;          // 0 head .. 1 tail end
            double px = x + curl * 5 * FSin(phase + f * 2.5) * f, py = y + f * len;
            double fade = (1 - f) * (1 - f);
            AddGlow(&c, px, py, size, colour * (fade * 0.22 * (0.4 + heat)));
        }
        AddGlow(&c, x, y, size * 1.5, colour * (0.35 + heat * 0.7));
    }
    Vignette(&c, 0.35);
    return c;
}

// ---- slide 2: a lantern-lit window in the snow --------------------------------------------------------

Canvas SlideWindow()
{
    Canvas c = NewSlide();
    const double wx0 = 118, wx1 = 146, wy0 = 142, wy1 = 172;   // the window
    auto inHouse = [&](double x, double y) {
        if (x < 84 || x > 196) return false;
        double roof = 118 - (56 - std::fabs(x - 140)) * 0.62;   // gable over x 84..196
        return y > roof && y < 200;
    };
    Shade(&c, 3, [&](double x, double y) {
        double t = y / 256;
        Rgb sky = MixRgb(Hex(0x02040c), Hex(0x15234a), SmoothStep(0.0, 0.7, t));
        // Hills of snow, lit blue by the sky and warm near the window.
        double snowLine = 196 + (Fbm(x * 0.015, 0.3, 101, 3) - 0.5) * 30;
        double onSnow = SmoothStep(snowLine - 0.6, snowLine + 0.6, y);
        double lamp = FExp(-((x - 132) * (x - 132) / 3200.0 + (y - 205) * (y - 205) / 700.0));
        Rgb snow = MixRgb(Hex(0x1c2a4c), Hex(0x4a5a80), Fbm(x * 0.04, y * 0.09, 103, 4) * 0.6) + Hex(0xff9a40) * (lamp * 0.55);
        Rgb col = MixRgb(sky, snow, onSnow);
        // Pines far back.
        for (int k = 0; k < 9; k++) {
            double px = 12 + k * 29 + (Hash01(k, 1, 107) - 0.5) * 14, h = 36 + Hash01(k, 2, 107) * 28, base = 198;
            if (px > 76 && px < 204) continue;
            double half = (y - (base - h)) * 0.32;
            if (y > base - h && y < base + 2 && std::fabs(x - px) < half) col = MixRgb(col, Hex(0x060a14), 0.9);
        }
        if (inHouse(x, y)) {
            double roof = 118 - (56 - std::fabs(x - 140)) * 0.62;
            bool snowOnRoof = y < roof + 5 + Noise(x * 0.3, 1, 109) * 3;
            col = snowOnRoof ? Hex(0x5e6f96) : Hex(0x0b0c16) + Hex(0x2a1408) * (lamp * 0.4);
            // The chimney.
        }
        if (x > 160 && x < 172 && y > 72 && y < 100 && y > 118 - (56 - std::fabs(x - 140)) * 0.62 - 40) col = Hex(0x0b0c16);
        if (x > 158 && x < 174 && y > 70 && y < 75) col = Hex(0x5e6f96);
        if (x > wx0 && x < wx1 && y > wy0 && y < wy1) {
            double gx = (x - 132) / 14, gy = (y - 157) / 15;
            col = MixRgb(Hex(0xffd27a), Hex(0xd8500e), Clamp01(std::sqrt(gx * gx + gy * gy) * 0.9));
            if (std::fabs(x - 132) < 1.2 || std::fabs(y - 157) < 1.2) col = Hex(0x1a0e08);
        }
        return col;
    });
    AddGlow(&c, 132, 157, 60, Hex(0xff8a30) * 0.35);
    AddGlow(&c, 132, 157, 24, Hex(0xffb060) * 0.25);
    // Smoke from the chimney, then falling snow.
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            double s = Smoke(x, y, 166, 70, 0.3, 113);
            c.at(x, y) = MixRgb(c.at(x, y), Hex(0x3a4260), Clamp01(s) * 0.5);
        }
    Stars(&c, 127, 90, 110, 40);
    Scatter s{131};
    for (int i = 0; i < 220; i++) {
        double x = s.Next() * 256, y = s.Next() * 256, size = s.Next();
        size = size * size;
        double nearLamp = FExp(-((x - 132) * (x - 132) + (y - 157) * (y - 157)) / 2500.0);
        Rgb flake = MixRgb(Hex(0xa8b8e0), Hex(0xffc080), nearLamp);
        AddGlow(&c, x, y, 1.2 + size * 2.2, flake * (0.25 + size * 0.5));
    }
    Vignette(&c, 0.45);
    return c;
}

// ---- slide 3: the end card ----------------------------------------------------------------------------

Canvas SlideEndCard()
{
    Canvas c = NewSlide();
    Shade(&c, 2, [&](double x, double y) {
        double t = y / 256;
        Rgb col = MixRgb(Hex(0x03040a), Hex(0x0e1226), SmoothStep(0.0, 0.8, t));
        double low = FExp(-((x - 128) * (x - 128)) / 9000.0) * SmoothStep(150, 256, y);
        return col + Hex(0x4a1406) * low;
    });
    // A small emblem: one ember with its glow, above the name.
    AddGlow(&c, 128, 78, 46, Hex(0x5a1808) * 0.8);
    AddGlow(&c, 128, 78, 16, Hex(0xff7a26) * 0.9);
    AddGlow(&c, 128, 78, 6, Hex(0xfff0c0) * 0.9);
    Scatter s{139};
    for (int i = 0; i < 9; i++) {
        double a = s.Next(), y = 70 - a * 50, x = 128 + (s.Next() - 0.5) * 40 * a;
        AddSpark(&c, x, y + 4, x, y, 0.8, Hex(0xffa050) * (0.7 - a * 0.5));
    }
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            double sm = Smoke(x, y, 128, 230, 0.45, 149);
            c.at(x, y) = MixRgb(c.at(x, y), Hex(0x3a3244), Clamp01(sm) * 0.35);
        }
    Mask name(256, 256), glow(256, 256), line(256, 256), thanks(256, 256);
    DrawTextCentred(&name, kSerif, 35, "Quietembers", 128, 145, 0.4);
    glow = name;
    Blur(&glow, 4);
    AddMasked(&c, glow, Hex(0xff6a1a), 0.55);
    Composite(&c, name, Hex(0xffe2bc), 1.0);
    for (int32_t x = 70; x < 186; x++) {
        double k = 1 - std::fabs(x - 128) / 58.0;
        line.at(x, 160) = k * k * 0.8;
    }
    AddMasked(&c, line, Hex(0xff8a40), 0.9);
    DrawTextCentred(&thanks, kSerifItalic, 14, "thank you for watching", 128, 184, 0.3);
    Composite(&c, thanks, Hex(0xd9c6b4), 0.92);
    Vignette(&c, 0.4);
    return c;
}

// ---- slide 4: a city at dusk, from above --------------------------------------------------------------

Canvas SlideCity()
{
    Canvas c = NewSlide();
    const double horizon = 84, focal = 150, eye = 1.1;   // camera height in street blocks
    // A point on the ground (x across, z ahead, in blocks) lands on screen here.
    auto project = [&](double x, double z, double* sx, double* sy) {
        *sx = 128 + x * focal / z;
        *sy = horizon + eye * focal / z;
    };
    Shade(&c, 3, [&](double x, double y) {
        if (y < horizon) {
            double t = y / horizon;
            Rgb sky = MixRgb(Hex(0x070a22), Hex(0x2a1a4a), SmoothStep(0.0, 0.7, t));
            sky = MixRgb(sky, Hex(0xc8582a), SmoothStep(0.62, 1.0, t));
            double cloud = SmoothStep(0.45, 0.75, Fbm(x * 0.01, y * 0.05, 151, 5)) * SmoothStep(0.2, 0.85, t);
            Rgb lit = MixRgb(Hex(0x1c1430), Hex(0x7a3a3a), SmoothStep(0.5, 1.0, t));
            return MixRgb(sky, lit, cloud * 0.7);
        }
        // The plain: dark blocks, a little texture, and a river that mirrors the dusk.
        double z = eye * focal / (y - horizon + 0.01), gx = (x - 128) * z / focal;
        Rgb ground = MixRgb(Hex(0x05060e), Hex(0x0c0c1a), Fbm(gx * 0.8, z * 0.8, 153, 3));
        double bend = 0.9 * FSin(z * 0.3) + z * 0.38 - 3.2;
        double river = std::fabs(gx - bend);
        double water = 1 - SmoothStep(0.22, 0.3 + z * 0.004, river);
        Rgb mirror = MixRgb(Hex(0x1a1028), Hex(0x6a2a22), SmoothStep(3, 30, z)) * (0.45 + 0.3 * Noise(x * 0.2, y * 0.8, 155));
        return MixRgb(ground, mirror, water);
    });
    // Street lights along a slightly turned grid of streets, brighter on every fourth one; lit
    // windows scattered inside the blocks.
    const double turn = 0.42, ct = FCos(turn), st = FSin(turn);
    auto place = [&](double a, double b, double radius, Rgb colour) {
        double x = a * ct - b * st, z = a * st + b * ct;
        if (z < 1.2 || z > 40) return;
        double bend = 0.9 * FSin(z * 0.3) + z * 0.38 - 3.2;
        if (std::fabs(x - bend) < 0.35) return;                       // no lights on the water
        double sx, sy;
        project(x, z, &sx, &sy);
        if (sx < -4 || sx > 260 || sy > 260) return;
        double size = radius * 9.0 / z;
        double fade = 1 / (1 + z * 0.05);
        AddGlow(&c, sx, sy, size < 1.2 ? 1.2 : size, colour * (fade * (size < 1.2 ? 0.5 + 0.5 * size / 1.2 : 1)));
    };
    for (int32_t i = -60; i <= 60; i++)
        for (int32_t k = 0; k < 1200; k++) {
            double along = k * 0.08 - 20;
            bool avenue = i % 4 == 0;
            Rgb sodium = avenue ? Hex(0xffc070) : Hex(0xff9440);
            double jitter = (Hash01(i, k, 157) - 0.5) * 0.02;
            if (Hash01(i, k, 159) < (avenue ? 0.75 : 0.45)) place(i + 0.5 + jitter, along, avenue ? 0.5 : 0.35, sodium * (avenue ? 0.9 : 0.6));
            if (Hash01(k, i, 161) < (avenue ? 0.75 : 0.45)) place(along, i + 0.5 + jitter, avenue ? 0.5 : 0.35, sodium * (avenue ? 0.9 : 0.6));
        }
    Scatter w{163};
    for (int n = 0; n < 9000; n++) {
        double a = (w.Next() - 0.5) * 80, b = w.Next() * 45;
        double fa = a + 0.5 - std::floor(a + 0.5), fb = b + 0.5 - std::floor(b + 0.5);
        if (fa < 0.12 || fa > 0.88 || fb < 0.12 || fb > 0.88) continue;   // inside a block only
        Rgb colour = MixRgb(Hex(0xffb060), Hex(0xdfe6ff), w.Next() < 0.2 ? 1.0 : 0.0);
        place(a, b, 0.22, colour * (0.25 + w.Next() * 0.4));
    }
    // Nearer blocks get their windows one by one, so the foreground is not empty.
    for (int32_t ia = -14; ia <= 14; ia++)
        for (int32_t ib = 0; ib <= 12; ib++)
            for (int n = 0; n < 10; n++) {
                double a = ia + 0.5 + 0.15 + w.Next() * 0.7, b = ib + 0.5 + 0.15 + w.Next() * 0.7;
                Rgb colour = MixRgb(Hex(0xffa850), Hex(0xd8e0ff), w.Next() < 0.25 ? 1.0 : 0.0);
                double size = 0.12 + w.Next() * 0.1;        // one draw per statement: the order is fixed
                place(a, b, size, colour * (0.15 + w.Next() * 0.45));
            }
    // The glow the lights throw up into the air above the streets.
    Mask air(256, 256);
    for (int32_t y = 0; y < 256; y++)
        for (int32_t x = 0; x < 256; x++) air.at(x, y) = y > horizon ? c.at(x, y).r : 0;
    Blur(&air, 5);
    AddMasked(&c, air, Hex(0xff7a30), 0.9);
    // Haze thickening towards the horizon, and the last light of the sun sitting on it.
    for (int32_t y = 0; y < 256; y++)
        for (int32_t x = 0; x < 256; x++) {
            double h = y >= horizon ? FExp(-(y - horizon) / 22.0) : FExp(-(horizon - y) / 10.0);
            c.at(x, y) = MixRgb(c.at(x, y), Hex(0x6a3040), h * 0.55);
        }
    AddGlow(&c, 150, horizon, 90, Hex(0x7a2a10) * 0.35);
    Vignette(&c, 0.45);
    return c;
}

// ---- slide 5: lava cooling into rock ------------------------------------------------------------------

Canvas SlideLava()
{
    Canvas c = NewSlide();
    Shade(&c, 3, [&](double x, double y) {
        // A molten river curving down from the upper right; rafts of crust ride on it, thicker
        // towards its banks, and the cooled rock around it is cracked into plates that still glow.
        double centre = 196 - y * 0.62 + 20 * FSin(y * 0.022 + 0.6) + (Fbm(y * 0.01, 0.5, 171, 3) - 0.5) * 30;
        double d = (x - centre) / (26 + y * 0.08);
        double ad = std::fabs(d);
        double warpX = Fbm(x * 0.02, y * 0.02, 173, 3) - 0.5, warpY = Fbm(x * 0.02, y * 0.02, 175, 3) - 0.5;

        // The cooled field: big plates, ropey texture, seams that glow near the river.
        Cells plate = Voronoi((x + warpX * 30) / 30.0, (y + warpY * 30) / 24.0, 179);
        double seam = 1 - SmoothStep(0.0, 0.05 + 0.05 * SmoothStep(3, 1, ad), plate.f2 - plate.f1);
        double rope = Fbm(x * 0.05 + y * 0.03, y * 0.12 - x * 0.02, 181, 5);
        double shade = 0.55 + 0.6 * SmoothStep(0.0, 0.45, plate.f2 - plate.f1);
        Rgb rock = MixRgb(Hex(0x07070b), Hex(0x272330), rope * rope * 1.3) * shade;
        double warmth = FExp(-(ad - 1) * 0.9);
        rock = rock + Heat(0.25 + 0.45 * warmth) * (seam * Clamp01(warmth));

        // The river itself: flowing bright melt, crust rafts breaking up in it.
        double flow = Fbm(x * 0.025 + y * 0.04, y * 0.015 - x * 0.03, 183, 5);
        Rgb melt = Heat(0.7 + 0.25 * flow - 0.25 * ad * ad);
        Cells raft = Voronoi((x + warpX * 20) / 13.0, (y + warpY * 20) / 10.0, 187);
        double crustNeeded = SmoothStep(0.15, 0.95, ad) * 0.9 + 0.25 * (Hash01(raft.cx, raft.cy, 191) - 0.5);
        double crust = SmoothStep(0.18, 0.26, raft.f2 - raft.f1 + crustNeeded * 0.35 - 0.1);
        crust *= SmoothStep(0.25, 0.4, crustNeeded + 0.1);
        Rgb raftRock = MixRgb(Hex(0x1a1216), Hex(0x3a2a2a), rope) + Heat(0.35) * 0.25;
        Rgb river = MixRgb(melt, raftRock, crust);
        double bank = SmoothStep(1.15, 0.95, ad + (rope - 0.5) * 0.3);
        return MixRgb(rock, river, bank);
    });
    // The melt lights the air: a soft bloom over everything near it, and a little steam.
    Mask bloom(256, 256);
    for (int32_t y = 0; y < 256; y++)
        for (int32_t x = 0; x < 256; x++) bloom.at(x, y) = Clamp01(c.at(x, y).r - 0.45);
    Blur(&bloom, 9);
    AddMasked(&c, bloom, Hex(0xff5010), 0.9);
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            double steam = SmoothStep(0.55, 0.85, Fbm(x * 0.012, y * 0.018, 197, 5)) * 0.3;
            c.at(x, y) = MixRgb(c.at(x, y), Hex(0x55484e) + c.at(x, y) * 0.4, steam);
        }
    Vignette(&c, 0.5);
    return c;
}

// ---- slide 6: a warm aurora over a dark lake ----------------------------------------------------------

Rgb AuroraSky(double x, double y)
{
    double t = y / 150;
    Rgb sky = MixRgb(Hex(0x02030a), Hex(0x0c1230), SmoothStep(0.0, 0.8, t));
    sky = MixRgb(sky, Hex(0x24142a), SmoothStep(0.75, 1.1, t));
    // Curtains: a wavy lower edge; rays stretch up from it and fade.
    double edge = 122 + (Fbm(x * 0.008, 0.5, 211, 3) - 0.5) * 50 + FSin(x * 0.03) * 8;
    double above = edge - y;
    if (above > -4) {
        double rays = 0.35 + 0.65 * Fbm(x * 0.09 + above * 0.004, above * 0.002, 223, 3);
        double body = SmoothStep(-4, 3, above) * FExp(-above / 55.0) * rays;
        Rgb tint = MixRgb(Hex(0xff7a30), Hex(0xc0204a), SmoothStep(0, 70, above));
        tint = MixRgb(tint, Hex(0x40205a), SmoothStep(50, 120, above));
        double fold = 0.6 + 0.4 * Fbm(x * 0.02, 9.0, 227, 2);
        sky = sky + tint * (body * 1.25 * fold);
    }
    return sky;
}

Canvas SlideAurora()
{
    Canvas c = NewSlide();
    const double shore = 166;
    Canvas sky(256, 256);
    Shade(&sky, 2, [&](double x, double y) { return AuroraSky(x, y); });
    Stars(&sky, 233, 140, 168, 60);
    // Mountains against the sky, the lake mirrors both, a small fire on the shore.
    auto ridge = [](double x) { return 158 - Fbm(x * 0.012, 4.4, 239, 5) * 42 + std::fabs(x - 150) * 0.04; };
    Shade(&c, 2, [&](double x, double y) {
        int32_t ix = x < 0 ? 0 : x > 255 ? 255 : static_cast<int32_t>(x);
        if (y < shore) {
            int32_t iy = static_cast<int32_t>(y);
            Rgb col = sky.at(ix, iy);
            double r = ridge(x);
            if (y > r) col = MixRgb(col, Hex(0x040509) + Hex(0x0c0a16) * SmoothStep(r, shore, y), SmoothStep(r - 0.6, r + 0.6, y));
            return col;
        }
        double depth = y - shore;
        double ripple = (Noise(x * 0.05, depth * depth * 0.02, 241) - 0.5) * (1.5 + depth * 0.12);
        double my = shore - depth * 1.0 - 1;
        int32_t rx = static_cast<int32_t>(std::floor(x + ripple));
        rx = rx < 0 ? 0 : rx > 255 ? 255 : rx;
        int32_t ry = static_cast<int32_t>(my < 0 ? 0 : my);
        Rgb col = sky.at(rx, ry);
        if (my > ridge(x + ripple)) col = Hex(0x04050a);
        double streak = SmoothStep(0.6, 0.9, Noise(x * 0.02, depth * 0.6, 251));
        col = col * (0.72 + 0.2 * streak);
        return MixRgb(col, Hex(0x02030a), SmoothStep(0, 90, depth) * 0.4);
    });
    AddGlow(&c, 70, shore - 1, 22, Hex(0xff6a1a) * 0.6);
    AddGlow(&c, 70, shore - 1, 5, Hex(0xffd090) * 0.9);
    for (int k = 1; k < 18; k++) AddGlow(&c, 70 + (Hash01(k, 3, 257) - 0.5) * 3, shore + 2 + k * 3.2, 3 - k * 0.1, Hex(0xff8030) * (0.35 - k * 0.018));
    Vignette(&c, 0.4);
    return c;
}

// ---- title card: emblem and name on white -------------------------------------------------------------

Canvas TitleCard()
{
    Canvas c(256, 256);
    const double ex = 128, ey = 100, er = 66;
    Canvas scene(256, 256);
    Shade(&scene, 3, [&](double x, double y) {
        double t = (y - (ey - er)) / (2 * er);
        Rgb col = MixRgb(Hex(0x050818), Hex(0x1a1a3c), SmoothStep(0.0, 0.8, t));
        col = MixRgb(col, Hex(0x4a1a14), SmoothStep(0.6, 1.0, t));
        double hill = ey + 38 + (Fbm(x * 0.03, 2.2, 261, 3) - 0.5) * 14;
        if (y > hill) col = MixRgb(col, Hex(0x07050a), SmoothStep(hill, hill + 1, y));
        return col;
    });
    Stars(&scene, 263, 70, ey + 20, ey - 20);
    AddGlow(&scene, ex, ey + 40, 60, Hex(0x7a2408) * 0.8);
    AddGlow(&scene, ex, ey + 40, 20, Hex(0xff7a26) * 0.9);
    AddGlow(&scene, ex, ey + 40, 7, Hex(0xfff0c0) * 0.9);
    Scatter s{269};
    for (int i = 0; i < 34; i++) {
        double a = s.Next(), y = ey + 34 - a * 80, x = ex + (s.Next() - 0.5) * 70 * a;
        AddSpark(&scene, x - (s.Next() - 0.5) * 3, y + 3 + (1 - a) * 4, x, y, 0.8, Hex(0xffa050) * (0.9 - a * 0.6));
    }
    // Paper: pure white at the edges, a faint warm tone behind the emblem.
    Shade(&c, 3, [&](double x, double y) {
        double dx = x - ex, dy = y - ey;
        double r = std::sqrt(dx * dx + dy * dy);
        Rgb paper = MixRgb(Rgb{1, 1, 1}, Hex(0xf6ece2), SmoothStep(125, 70, std::sqrt(dx * dx + (y - 128) * (y - 128))));
        int32_t ix = static_cast<int32_t>(x), iy = static_cast<int32_t>(y);
        double inside = SmoothStep(er + 0.5, er - 0.5, r);
        Rgb col = MixRgb(paper, scene.at(ix, iy), inside);
        double ring = SmoothStep(1.6, 0.4, std::fabs(r - (er + 4)));
        return MixRgb(col, Hex(0xb4542a), ring * 0.9);
    });
    Mask name(256, 256), tag(256, 256);
    DrawTextCentred(&name, kSerif, 32, "Quietembers", 128, 208, 0.5);
    Composite(&c, name, Hex(0x141a2e), 1.0);
    DrawTextCentred(&tag, kSans, 8.5, "A  QUIET  FIRE  IN  THE  DARK", 128, 226, 1.2);
    Composite(&c, tag, Hex(0x9a5a3a), 0.95);
    // The edge texels colour the whole screen around the card: they must be exactly white.
    for (int32_t i = 0; i < 256; i++) c.at(i, 0) = c.at(i, 255) = c.at(0, i) = c.at(255, i) = Rgb{1, 1, 1};
    return c;
}

// ---- globe, spark, caption ----------------------------------------------------------------------------

Canvas Globe()
{
    // Rows 0..31 run from the north pole to the south pole; rows 32..63 mirror them and are never
    // mapped. Columns run once round the globe, and every noise repeats across the width.
    // An ember world: dark seas, continents of cooling rock veined with glowing rifts, a few
    // volcanic hot spots, ash-grey caps at the poles.
    Canvas c(64, 64);
    Shade(&c, 4, [&](double x, double y) {
        double row = y < 32 ? y : 64 - y;
        double v = row / 32;                               // 0 north .. 1 south
        double lat = (0.5 - v) * kPi;
        double u = x / 64;
        double land = Fbm(u * 4, v * 3, 281, 5, 0.55, 4) + 0.06 * FCos(lat * 2);
        double isLand = SmoothStep(0.5, 0.53, land);
        double shelf = SmoothStep(0.42, 0.5, land) * (1 - isLand);
        Rgb sea = MixRgb(Hex(0x050c24), Hex(0x0e2250), Fbm(u * 8, v * 6, 287, 3, 0.5, 8)) + Hex(0x1a3a60) * (shelf * 0.5);
        Rgb rock = MixRgb(Hex(0x140c0c), Hex(0x3a2820), Fbm(u * 16, v * 10, 289, 3, 0.5, 16));
        double rift = 1 - std::fabs(Fbm(u * 6, v * 4, 283, 4, 0.5, 6) * 2 - 1);
        double vein = SmoothStep(0.86, 0.97, rift) * SmoothStep(0.53, 0.58, land);
        double spot = SmoothStep(0.72, 0.8, Fbm(u * 5, v * 4, 293, 3, 0.5, 5)) * isLand;
        Rgb col = MixRgb(sea, rock, isLand) + Heat(0.6 + 0.3 * vein) * vein + Heat(0.7) * (spot * 0.8);
        col = col + Hex(0xff5a18) * (SmoothStep(0.47, 0.5, land) * (1 - isLand) * 0.25);   // warm coasts
        double polar = SmoothStep(0.74, 0.92, std::fabs(lat) / (kPi / 2) + (Noise(u * 12, v * 6, 297, 12) - 0.5) * 0.15);
        return MixRgb(col, Hex(0x6a6a78), polar * 0.75);
    });
    return c;
}

Canvas Spark()
{
    // Additive sprite: white-hot centre, orange and red halo, exactly black from radius 15 out.
    Canvas c(32, 32);
    Shade(&c, 4, [&](double x, double y) {
        double dx = x - 16, dy = y - 16;
        double r = std::sqrt(dx * dx + dy * dy) / 15.0;
        if (r >= 1) return Rgb{0, 0, 0};
        double k = (1 - r * r);
        double halo = k * k * k;
        double core = FExp(-r * r * 30);
        return Hex(0xb02808) * halo + Hex(0xff8a30) * (halo * halo * 0.8) + Hex(0xfff4d8) * core;
    });
    for (int32_t y = 0; y < 32; y++)
        for (int32_t x = 0; x < 32; x++) {
            double dx = x + 0.5 - 16, dy = y + 0.5 - 16;
            if (dx * dx + dy * dy > 14.0 * 14.0) c.at(x, y) = Rgb{0, 0, 0};
        }
    return c;
}

Canvas Caption()
{
    // Seen in the bottom-right corner of the screen, on black; only rows 0..39 ever show.
    Canvas c(128, 128);
    Mask name(128, 128), glow(128, 128), tag(128, 128);
    DrawTextCentred(&name, kSerif, 15, "Quietembers", 64, 19, 0.3);
    glow = name;
    Blur(&glow, 1);
    AddMasked(&c, glow, Hex(0xff5a10), 0.7);
    Composite(&c, name, Hex(0xffc690), 1.0);
    for (int32_t x = 30; x < 98; x++) {
        double k = 1 - std::fabs(x - 64) / 34.0;
        c.at(x, 22) = c.at(x, 22) + Hex(0xc04a14) * (k * 0.8);
    }
    DrawTextCentred(&tag, kSans, 8, "a quiet fire, made by code", 64, 30, 0.2);
    Composite(&c, tag, Hex(0x8a96b8), 1.0);
    // Content stays in rows 5..32; the glow's faint fringe beyond them is cut.
    for (int32_t y = 0; y < 128; y++)
        for (int32_t x = 0; x < 128 && (y < 5 || y > 32); x++) c.at(x, y) = Rgb{0, 0, 0};
    return c;
}

// ---- contact sheet ------------------------------------------------------------------------------------

void Blit(Canvas* sheet, const std::vector<Rgb8>& px, int32_t w, int32_t h, int32_t scale, int32_t rows, int32_t x0, int32_t y0)
{
    for (int32_t y = 0; y < rows * scale; y++)
        for (int32_t x = 0; x < w * scale; x++) {
            const Rgb8& p = px[static_cast<size_t>(y / scale) * w + x / scale];
            sheet->at(x0 + x, y0 + y) = Rgb{p.r / 255.0, p.g / 255.0, p.b / 255.0};
        }
    (void)h;
}

std::vector<Rgb8> From16(const std::vector<uint8_t>& bytes, bool argb4444)
{
    std::vector<Rgb8> px(bytes.size() / 2);
    for (size_t i = 0; i < px.size(); i++) {
        uint16_t w = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        if (argb4444) {
            int r = (w >> 8) & 15, g = (w >> 4) & 15, b = w & 15;
            px[i] = {static_cast<uint8_t>(r * 17), static_cast<uint8_t>(g * 17), static_cast<uint8_t>(b * 17)};
        } else {
            px[i] = ExpandRgb565(w);
        }
    }
    return px;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: forge ASSET_DIR CONTACT_SHEET.png\n");
        return 2;
    }
    std::string dir = argv[1], error;
    if (!FontsOpen(&error)) {
        std::fprintf(stderr, "forge: %s\n", error.c_str());
        return 1;
    }
    struct Output { std::string name; std::vector<uint8_t> bytes; };
    std::vector<Output> outputs;

    Canvas globe = Globe(), spark = Spark(), caption = Caption(), title = TitleCard();
    outputs.push_back({"globe.argb4444", ToArgb4444(globe)});
    outputs.push_back({"spark.rgb565", ToRgb565(spark, 0)});
    outputs.push_back({"caption.rgb565", ToRgb565(caption, 0)});
    std::vector<uint8_t> dds = DdsHeaderRgb565(256, 256), titlePixels = ToRgb565(title, 1);
    dds.insert(dds.end(), titlePixels.begin(), titlePixels.end());
    outputs.push_back({"title.dds", dds});

    Canvas (*const slides[7])() = {SlideCoals, SlideSparks, SlideWindow, SlideEndCard, SlideCity, SlideLava, SlideAurora};
    std::vector<std::vector<Rgb8>> decodedSlides;
    for (int i = 0; i < 7; i++) {
        std::vector<Rgb8> source = ToRgb8(slides[i]());
        std::vector<uint8_t> blocks = EncodeDxt1(source, 256, 256);
        std::vector<uint16_t> decoded(256 * 256);
        DecodeDxt1Image(blocks.data(), decoded.data(), 256, 256);
        std::vector<Rgb8> back(decoded.size());
        for (size_t p = 0; p < decoded.size(); p++) back[p] = ExpandRgb565(decoded[p]);
        std::printf("slide%d.dxt1: PSNR %.2f dB\n", i, Psnr(source, back));
        outputs.push_back({"slide" + std::to_string(i) + ".dxt1", blocks});
        decodedSlides.push_back(back);
    }

    // Contact sheet: title and slides as the program shows them, then globe, spark and caption enlarged.
    const int32_t cell = 256, gap = 16, label = 22, cols = 4;
    Canvas sheet(gap + cols * (cell + gap), gap + 3 * (cell + gap + label));
    for (Rgb& p : sheet.px) p = Hex(0x101218);
    auto place = [&](int index, int32_t* x, int32_t* y) {
        *x = gap + (index % cols) * (cell + gap);
        *y = gap + (index / cols) * (cell + gap + label);
    };
    static const char* const kLabels[11] = {
        "title card (R5G6B5)", "slide 0: the last coals", "slide 1: sparks into stars", "slide 2: a window in the snow",
        "slide 3: the end card", "slide 4: a city at dusk", "slide 5: lava cooling", "slide 6: aurora over a lake",
        "globe (A4R4G4B4) x4", "spark (R5G6B5) x8", "caption, rows 0-39, x2",
    };
    Mask labels(sheet.width, sheet.height);
    for (int i = 0; i < 11; i++) {
        int32_t lx, ly;
        place(i, &lx, &ly);
        DrawText(&labels, kSans, 12, kLabels[i], lx, ly + cell + 15);
    }
    Composite(&sheet, labels, Hex(0xb8b0a8), 1.0);
    int32_t x, y;
    place(0, &x, &y);
    Blit(&sheet, From16(titlePixels, false), 256, 256, 1, 256, x, y);
    for (int i = 0; i < 7; i++) {
        place(1 + i, &x, &y);
        Blit(&sheet, decodedSlides[i], 256, 256, 1, 256, x, y);
    }
    place(8, &x, &y);
    Blit(&sheet, From16(outputs[0].bytes, true), 64, 64, 4, 64, x, y);
    place(9, &x, &y);
    Blit(&sheet, From16(outputs[1].bytes, false), 32, 32, 8, 32, x, y);
    place(10, &x, &y);
    Blit(&sheet, From16(outputs[2].bytes, false), 128, 128, 2, 40, x, y);
    std::vector<uint8_t> png = EncodePng(ToRgb8(sheet), sheet.width, sheet.height);
    FontsClose();

    for (const Output& o : outputs)
        if (!WriteFile(dir + "/" + o.name, o.bytes, &error)) {
            std::fprintf(stderr, "forge: %s\n", error.c_str());
            return 1;
        }
    if (!WriteFile(argv[2], png, &error)) {
        std::fprintf(stderr, "forge: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
