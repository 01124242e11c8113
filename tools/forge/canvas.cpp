// tools/forge/canvas.cpp -- the forge's paint box (see canvas.h). Native only.
#include "tools/forge/canvas.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <zlib.h>

#include "gfx/dxt1.h"

// ---- math ----------------------------------------------------------------------------------------
// Polynomials after range reduction; only basic operations, so every build rounds alike.

double FSin(double x)
{
    double k = std::floor(x / (2 * kPi) + 0.5);
    x -= k * 2 * kPi;                                   // -pi..pi
    if (x > kPi / 2) x = kPi - x;
    if (x < -kPi / 2) x = -kPi - x;                     // -pi/2..pi/2
    double x2 = x * x, term = x, sum = x;
    for (int n = 1; n < 12; n++) {
        term *= -x2 / ((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double FCos(double x) { return FSin(x + kPi / 2); }

double FExp(double x)
{
    if (x < -700) return 0;
    if (x > 700) x = 700;
    const double ln2 = 0.69314718055994530942;
    double k = std::floor(x / ln2 + 0.5);
    double r = x - k * ln2;                             // |r| <= 0.35
    double term = 1, sum = 1;
    for (int n = 1; n < 20; n++) {
        term *= r / n;
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double FLog(double x)
{
    int e;
    double m = std::frexp(x, &e);                       // 0.5..1
    if (m < 0.70710678118654752) { m *= 2; e--; }
    double s = (m - 1) / (m + 1), s2 = s * s, term = s, sum = 0;
    for (int n = 0; n < 30; n++) {
        sum += term / (2 * n + 1);
        term *= s2;
    }
    return 2 * sum + e * 0.69314718055994530942;
}

double FPow(double x, double y) { return x <= 0 ? 0 : FExp(y * FLog(x)); }

static double AtanSmall(double z)                       // |z| <= 1
{
    // Two argument halvings bring |z| under 0.2, where the series converges quickly.
    double w = z / (1 + std::sqrt(1 + z * z));
    w = w / (1 + std::sqrt(1 + w * w));
    double w2 = w * w, term = w, sum = 0;
    for (int n = 0; n < 20; n++) {
        sum += term / (2 * n + 1);
        term *= -w2;
    }
    return 4 * sum;
}

double FAtan2(double y, double x)
{
    if (x == 0 && y == 0) return 0;
    double ax = std::fabs(x), ay = std::fabs(y);
    double a = ay <= ax ? AtanSmall(ay / ax) : kPi / 2 - AtanSmall(ax / ay);
    if (x < 0) a = kPi - a;
    return y < 0 ? -a : a;
}

double Clamp01(double x) { return x < 0 ? 0 : x > 1 ? 1 : x; }
double Mix(double a, double b, double t) { return a + (b - a) * t; }
double SmoothStep(double e0, double e1, double x)
{
    double t = Clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

// ---- noise ---------------------------------------------------------------------------------------

uint32_t Hash(int32_t x, int32_t y, uint32_t seed)
{
    uint32_t h = seed * 0x9E3779B9u ^ static_cast<uint32_t>(x) * 0x85EBCA6Bu ^ static_cast<uint32_t>(y) * 0xC2B2AE35u;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double Hash01(int32_t x, int32_t y, uint32_t seed) { return (Hash(x, y, seed) >> 8) * (1.0 / 16777216.0); }

double Noise(double x, double y, uint32_t seed, int32_t periodX)
{
    double fx = std::floor(x), fy = std::floor(y);
    int32_t ix = static_cast<int32_t>(fx), iy = static_cast<int32_t>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * tx * (tx * (tx * 6 - 15) + 10);
    ty = ty * ty * ty * (ty * (ty * 6 - 15) + 10);
    int32_t x0 = ix, x1 = ix + 1;
    if (periodX > 0) {
        x0 = ((x0 % periodX) + periodX) % periodX;
        x1 = ((x1 % periodX) + periodX) % periodX;
    }
    double a = Hash01(x0, iy, seed), b = Hash01(x1, iy, seed);
    double c = Hash01(x0, iy + 1, seed), d = Hash01(x1, iy + 1, seed);
    return Mix(Mix(a, b, tx), Mix(c, d, tx), ty);
}

double Fbm(double x, double y, uint32_t seed, int octaves, double gain, int32_t periodX)
{
    double sum = 0, amp = 1, norm = 0;
    for (int o = 0; o < octaves; o++) {
        sum += Noise(x, y, seed + o * 101, periodX) * amp;
        norm += amp;
        amp *= gain;
        x *= 2;
        y *= 2;
        periodX *= 2;
    }
    return sum / norm;
}

Cells Voronoi(double x, double y, uint32_t seed)
{
    int32_t ix = static_cast<int32_t>(std::floor(x)), iy = static_cast<int32_t>(std::floor(y));
    Cells c{1e9, 1e9, 0, 0};
    for (int32_t j = -1; j <= 1; j++)
        for (int32_t i = -1; i <= 1; i++) {
            double px = ix + i + 0.1 + 0.8 * Hash01(ix + i, iy + j, seed);
            double py = iy + j + 0.1 + 0.8 * Hash01(ix + i, iy + j, seed + 7);
            double d = std::sqrt((px - x) * (px - x) + (py - y) * (py - y));
            if (d < c.f1) {
                c.f2 = c.f1;
                c.f1 = d;
                c.cx = ix + i;
                c.cy = iy + j;
            } else if (d < c.f2) {
                c.f2 = d;
            }
        }
    return c;
}

// ---- colour and canvas ---------------------------------------------------------------------------

Rgb operator+(Rgb a, Rgb b) { return {a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb operator*(Rgb a, double k) { return {a.r * k, a.g * k, a.b * k}; }
Rgb MixRgb(Rgb a, Rgb b, double t) { return {Mix(a.r, b.r, t), Mix(a.g, b.g, t), Mix(a.b, b.b, t)}; }
Rgb Hex(uint32_t rgb) { return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0}; }

Canvas::Canvas(int32_t w, int32_t h) : width(w), height(h), px(static_cast<size_t>(w) * h, Rgb{0, 0, 0}) {}
Mask::Mask(int32_t w, int32_t h) : width(w), height(h), a(static_cast<size_t>(w) * h, 0.0) {}

void AddGlow(Canvas* c, double cx, double cy, double radius, Rgb colour)
{
    int32_t x0 = static_cast<int32_t>(std::floor(cx - radius)), x1 = static_cast<int32_t>(std::ceil(cx + radius));
    int32_t y0 = static_cast<int32_t>(std::floor(cy - radius)), y1 = static_cast<int32_t>(std::ceil(cy + radius));
    for (int32_t y = y0 < 0 ? 0 : y0; y <= y1 && y < c->height; y++)
        for (int32_t x = x0 < 0 ? 0 : x0; x <= x1 && x < c->width; x++) {
            double dx = (x + 0.5 - cx) / radius, dy = (y + 0.5 - cy) / radius;
            double d2 = dx * dx + dy * dy;
            if (d2 >= 1) continue;
            double k = (1 - d2) * (1 - d2);
            k = k * k;                                  // bright core, long soft shoulder
            c->at(x, y) = c->at(x, y) + colour * k;
        }
}

void AddSpark(Canvas* c, double x0, double y0, double x1, double y1, double width, Rgb colour)
{
    // A short streak: glows along the segment, brighter at its head (x1, y1).
    double len = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    int steps = static_cast<int>(len * 2) + 1;
    for (int s = 0; s <= steps; s++) {
        double t = static_cast<double>(s) / steps;
        AddGlow(c, Mix(x0, x1, t), Mix(y0, y1, t), width, colour * (t * t / steps * 2.5));
    }
    AddGlow(c, x1, y1, width * 1.3, colour * 0.8);
}

static void BoxPass(std::vector<double>* v, int32_t count, int32_t step, int32_t lines, int32_t lineStep, int radius)
{
    std::vector<double> tmp(count);
    for (int32_t l = 0; l < lines; l++) {
        double* base = v->data() + static_cast<size_t>(l) * lineStep;
        double sum = 0;
        for (int32_t i = -radius; i <= radius; i++) sum += (i >= 0 && i < count) ? base[i * step] : 0;
        for (int32_t i = 0; i < count; i++) {
            tmp[i] = sum / (2 * radius + 1);
            int32_t out = i - radius, in = i + radius + 1;
            if (out >= 0) sum -= base[out * step];
            if (in < count) sum += base[in * step];
        }
        for (int32_t i = 0; i < count; i++) base[i * step] = tmp[i];
    }
}

void Blur(Mask* m, int radius)
{
    for (int pass = 0; pass < 3; pass++) {
        BoxPass(&m->a, m->width, 1, m->height, m->width, radius);
        BoxPass(&m->a, m->height, m->width, m->width, 1, radius);
    }
}

void Composite(Canvas* c, const Mask& m, Rgb colour, double opacity)
{
    for (size_t i = 0; i < c->px.size(); i++) c->px[i] = MixRgb(c->px[i], colour, Clamp01(m.a[i]) * opacity);
}

void AddMasked(Canvas* c, const Mask& m, Rgb colour, double strength)
{
    for (size_t i = 0; i < c->px.size(); i++) c->px[i] = c->px[i] + colour * (m.a[i] * strength);
}

void Vignette(Canvas* c, double strength)
{
    for (int32_t y = 0; y < c->height; y++)
        for (int32_t x = 0; x < c->width; x++) {
            double dx = (x + 0.5) / c->width - 0.5, dy = (y + 0.5) / c->height - 0.5;
            double k = 1 - strength * SmoothStep(0.2, 0.75, std::sqrt(dx * dx + dy * dy) * 1.2);
            c->at(x, y) = c->at(x, y) * k;
        }
}

// ---- lettering -----------------------------------------------------------------------------------

static FT_Library g_ft;
static FT_Face    g_faces[kFontCount];
static const char* const kFontFiles[kFontCount] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSerif-Italic.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
    "/usr/share/fonts/truetype/dejavu/DejaVuSans-ExtraLight.ttf",
};

bool FontsOpen(std::string* error)
{
    if (FT_Init_FreeType(&g_ft)) {
        *error = "cannot start FreeType";
        return false;
    }
    for (int i = 0; i < kFontCount; i++)
        if (FT_New_Face(g_ft, kFontFiles[i], 0, &g_faces[i])) {
            *error = std::string(kFontFiles[i]) + ": cannot open font (install fonts-dejavu-core and fonts-dejavu-extra)";
            return false;
        }
    return true;
}

void FontsClose()
{
    for (int i = 0; i < kFontCount; i++)
        if (g_faces[i]) { FT_Done_Face(g_faces[i]); g_faces[i] = nullptr; }
    if (g_ft) { FT_Done_FreeType(g_ft); g_ft = nullptr; }
}

// Sizes are in 26.6 fixed point so fractional pixel sizes are honoured exactly.
static FT_Face SizedFace(FontFace face, double pixels)
{
    FT_Face f = g_faces[face];
    FT_Set_Char_Size(f, 0, static_cast<FT_F26Dot6>(pixels * 64 + 0.5), 72, 72);
    return f;
}

double TextWidth(FontFace face, double pixels, const char* text, double tracking)
{
    FT_Face f = SizedFace(face, pixels);
    FT_Set_Transform(f, nullptr, nullptr);
    double w = 0;
    int n = 0;
    for (const char* p = text; *p; p++, n++) {
        if (FT_Load_Char(f, static_cast<uint8_t>(*p), FT_LOAD_NO_HINTING)) continue;
        w += f->glyph->advance.x / 64.0;
    }
    return w + tracking * (n > 0 ? n - 1 : 0);
}

void DrawText(Mask* m, FontFace face, double pixels, const char* text, double x, double baseline, double tracking)
{
    FT_Face f = SizedFace(face, pixels);
    double pen = x;
    for (const char* p = text; *p; p++) {
        // The pen's fraction goes into the outline, so glyphs sit at sub-pixel positions.
        double ix = std::floor(pen), iy = std::floor(baseline);
        FT_Vector delta;
        delta.x = static_cast<FT_Pos>((pen - ix) * 64 + 0.5);
        delta.y = -static_cast<FT_Pos>((baseline - iy) * 64 + 0.5);
        FT_Set_Transform(f, nullptr, &delta);
        if (FT_Load_Char(f, static_cast<uint8_t>(*p), FT_LOAD_NO_HINTING | FT_LOAD_RENDER)) continue;
        FT_GlyphSlot g = f->glyph;
        const FT_Bitmap& bm = g->bitmap;
        int32_t left = static_cast<int32_t>(ix) + g->bitmap_left;
        int32_t top = static_cast<int32_t>(iy) - g->bitmap_top;
        for (uint32_t r = 0; r < bm.rows; r++)
            for (uint32_t col = 0; col < bm.width; col++) {
                int32_t X = left + static_cast<int32_t>(col), Y = top + static_cast<int32_t>(r);
                if (X < 0 || Y < 0 || X >= m->width || Y >= m->height) continue;
                double cov = bm.buffer[r * bm.pitch + col] / 255.0;
                double& a = m->at(X, Y);
                a = a + cov - a * cov;                  // union of overlapping glyph edges
            }
        pen += g->advance.x / 64.0 + tracking;
    }
    FT_Set_Transform(f, nullptr, nullptr);
}

void DrawTextCentred(Mask* m, FontFace face, double pixels, const char* text, double centreX, double baseline, double tracking)
{
    DrawText(m, face, pixels, text, centreX - TextWidth(face, pixels, text, tracking) / 2, baseline, tracking);
}

// ---- output formats ------------------------------------------------------------------------------

static int To8(double v)
{
    double s = Clamp01(v) * 255 + 0.5;
    return static_cast<int>(s);
}

std::vector<Rgb8> ToRgb8(const Canvas& c)
{
    std::vector<Rgb8> out(c.px.size());
    for (size_t i = 0; i < c.px.size(); i++)
        out[i] = {static_cast<uint8_t>(To8(c.px[i].r)), static_cast<uint8_t>(To8(c.px[i].g)), static_cast<uint8_t>(To8(c.px[i].b))};
    return out;
}

uint16_t PackRgb565(int r8, int g8, int b8)
{
    int r = (r8 * 31 + 127) / 255, g = (g8 * 63 + 127) / 255, b = (b8 * 31 + 127) / 255;
    return static_cast<uint16_t>(r << 11 | g << 5 | b);
}

Rgb8 ExpandRgb565(uint16_t w)
{
    int r = w >> 11, g = (w >> 5) & 63, b = w & 31;
    return {static_cast<uint8_t>(r << 3 | r >> 2), static_cast<uint8_t>(g << 2 | g >> 4), static_cast<uint8_t>(b << 3 | b >> 2)};
}

static const int kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// Quantises v (0..1) to `levels` steps, with an ordered-dither offset when asked.
static int Quantise(double v, int levels, int x, int y, bool dither)
{
    double s = Clamp01(v) * (levels - 1);
    double offset = dither ? (kBayer4[y & 3][x & 3] + 0.5) / 16.0 : 0.5;
    int q = static_cast<int>(std::floor(s + offset));
    return q > levels - 1 ? levels - 1 : q;
}

std::vector<uint8_t> ToRgb565(const Canvas& c, int dither)
{
    std::vector<uint8_t> out;
    out.reserve(c.px.size() * 2);
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            const Rgb& p = c.at(x, y);
            int r = Quantise(p.r, 32, x, y, dither), g = Quantise(p.g, 64, x, y, dither), b = Quantise(p.b, 32, x, y, dither);
            uint16_t w = static_cast<uint16_t>(r << 11 | g << 5 | b);
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
        }
    return out;
}

std::vector<uint8_t> ToArgb4444(const Canvas& c)
{
    std::vector<uint8_t> out;
    out.reserve(c.px.size() * 2);
    for (int32_t y = 0; y < c.height; y++)
        for (int32_t x = 0; x < c.width; x++) {
            const Rgb& p = c.at(x, y);
            int r = Quantise(p.r, 16, x, y, true), g = Quantise(p.g, 16, x, y, true), b = Quantise(p.b, 16, x, y, true);
            uint16_t w = static_cast<uint16_t>(0xF000 | r << 8 | g << 4 | b);
            out.push_back(static_cast<uint8_t>(w));
            out.push_back(static_cast<uint8_t>(w >> 8));
        }
    return out;
}

static void Put32(std::vector<uint8_t>* v, uint32_t x)
{
    for (int i = 0; i < 4; i++) v->push_back(static_cast<uint8_t>(x >> (8 * i)));
}

std::vector<uint8_t> DdsHeaderRgb565(int32_t width, int32_t height)
{
    std::vector<uint8_t> h;
    Put32(&h, 0x20534444);                              // "DDS "
    Put32(&h, 124);                                     // header size
    Put32(&h, 0x1 | 0x2 | 0x4 | 0x8 | 0x1000);          // caps, height, width, pitch, pixel format
    Put32(&h, height);
    Put32(&h, width);
    Put32(&h, width * 2);                               // pitch in bytes
    Put32(&h, 0);                                       // depth
    Put32(&h, 0);                                       // mip levels
    for (int i = 0; i < 11; i++) Put32(&h, 0);          // reserved
    Put32(&h, 32);                                      // pixel format size
    Put32(&h, 0x40);                                    // RGB
    Put32(&h, 0);                                       // no FourCC
    Put32(&h, 16);                                      // bits per pixel
    Put32(&h, 0xF800);
    Put32(&h, 0x07E0);
    Put32(&h, 0x001F);
    Put32(&h, 0);                                       // no alpha
    Put32(&h, 0x1000);                                  // caps: texture
    for (int i = 0; i < 4; i++) Put32(&h, 0);           // caps 2..4, reserved
    return h;
}

// ---- DXT1 encoder --------------------------------------------------------------------------------
// Principal axis for the first guess, least squares on the index assignment to refine it, then a
// greedy search of single-step changes of the six quantised components. Every candidate is scored
// with the decoder's own palette, in both the four-colour and the three-colour-and-black mode.

struct BlockFit { uint16_t c0, c1; uint32_t indices; int64_t error; };

static int64_t Dist2(const Rgb8& a, const int p[3])
{
    int dr = a.r - p[0], dg = a.g - p[1], db = a.b - p[2];
    return static_cast<int64_t>(dr * dr + dg * dg + db * db);
}

// Scores the block with these two end colours as the decoder would, choosing the mode by their order.
static BlockFit Score(const Rgb8 px[16], uint16_t c0, uint16_t c1)
{
    uint8_t block[8] = {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
                        static_cast<uint8_t>(c1 >> 8), 0xE4, 0, 0, 0};   // indices 0,1,2,3 in the first row
    uint16_t pal16[16];
    DecodeDxt1Block(block, pal16, 4);
    int pal[4][3];
    for (int i = 0; i < 4; i++) {
        Rgb8 e = ExpandRgb565(pal16[i]);
        pal[i][0] = e.r;
        pal[i][1] = e.g;
        pal[i][2] = e.b;
    }
    BlockFit fit{c0, c1, 0, 0};
    for (int n = 0; n < 16; n++) {
        int best = 0;
        int64_t bestError = Dist2(px[n], pal[0]);
        for (int i = 1; i < 4; i++) {
            int64_t e = Dist2(px[n], pal[i]);
            if (e < bestError) { bestError = e; best = i; }
        }
        fit.indices |= static_cast<uint32_t>(best) << (2 * n);
        fit.error += bestError;
    }
    return fit;
}

static BlockFit BestOfModes(const Rgb8 px[16], uint16_t a, uint16_t b)
{
    BlockFit four = a >= b ? Score(px, a, b) : Score(px, b, a);
    BlockFit three = a <= b ? Score(px, a, b) : Score(px, b, a);
    return three.error < four.error ? three : four;
}

static uint16_t Pack565(double r, double g, double b)    // components 0..255
{
    auto q = [](double v, int levels) {
        int x = static_cast<int>(std::floor(Clamp01(v / 255.0) * (levels - 1) + 0.5));
        return x;
    };
    return static_cast<uint16_t>(q(r, 32) << 11 | q(g, 64) << 5 | q(b, 32));
}

static BlockFit EncodeBlock(const Rgb8 px[16])
{
    double mean[3] = {0, 0, 0};
    for (int n = 0; n < 16; n++) {
        mean[0] += px[n].r;
        mean[1] += px[n].g;
        mean[2] += px[n].b;
    }
    for (double& m : mean) m /= 16;
    double cov[3][3] = {};
    for (int n = 0; n < 16; n++) {
        double d[3] = {px[n].r - mean[0], px[n].g - mean[1], px[n].b - mean[2]};
        for (int i = 0; i < 3; i++)
            for (int j = 0; j < 3; j++) cov[i][j] += d[i] * d[j];
    }
    double axis[3] = {1, 1, 1};
    for (int it = 0; it < 12; it++) {
        double v[3];
        for (int i = 0; i < 3; i++) v[i] = cov[i][0] * axis[0] + cov[i][1] * axis[1] + cov[i][2] * axis[2];
        double len = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (len < 1e-9) break;
        for (int i = 0; i < 3; i++) axis[i] = v[i] / len;
    }
    double lo = 1e9, hi = -1e9;
    for (int n = 0; n < 16; n++) {
        double t = (px[n].r - mean[0]) * axis[0] + (px[n].g - mean[1]) * axis[1] + (px[n].b - mean[2]) * axis[2];
        if (t < lo) lo = t;
        if (t > hi) hi = t;
    }
    uint16_t a = Pack565(mean[0] + axis[0] * hi, mean[1] + axis[1] * hi, mean[2] + axis[2] * hi);
    uint16_t b = Pack565(mean[0] + axis[0] * lo, mean[1] + axis[1] * lo, mean[2] + axis[2] * lo);
    BlockFit best = BestOfModes(px, a, b);

    // Least squares: with the indices fixed, solve for the two ends (four-colour weights).
    for (int it = 0; it < 3 && best.c0 > best.c1; it++) {
        static const double kWeight[4] = {1, 0, 2.0 / 3, 1.0 / 3};
        double aa = 0, ab = 0, bb = 0, ax[3] = {}, bx[3] = {};
        for (int n = 0; n < 16; n++) {
            double w = kWeight[(best.indices >> (2 * n)) & 3], v = 1 - w;
            double c[3] = {static_cast<double>(px[n].r), static_cast<double>(px[n].g), static_cast<double>(px[n].b)};
            aa += w * w;
            ab += w * v;
            bb += v * v;
            for (int i = 0; i < 3; i++) {
                ax[i] += w * c[i];
                bx[i] += v * c[i];
            }
        }
        double det = aa * bb - ab * ab;
        if (det < 1e-9) break;
        double e0[3], e1[3];
        for (int i = 0; i < 3; i++) {
            e0[i] = (bb * ax[i] - ab * bx[i]) / det;
            e1[i] = (aa * bx[i] - ab * ax[i]) / det;
        }
        BlockFit f = BestOfModes(px, Pack565(e0[0], e0[1], e0[2]), Pack565(e1[0], e1[1], e1[2]));
        if (f.error >= best.error) break;
        best = f;
    }

    // Greedy single steps of each quantised component of either end.
    static const int kShift[3] = {11, 5, 0}, kMax[3] = {31, 63, 31};
    for (int pass = 0; pass < 16 && best.error > 0; pass++) {
        bool improved = false;
        for (int end = 0; end < 2; end++)
            for (int comp = 0; comp < 3; comp++)
                for (int step = -1; step <= 1; step += 2) {
                    uint16_t ends[2] = {best.c0, best.c1};
                    int v = (ends[end] >> kShift[comp]) & kMax[comp];
                    if (v + step < 0 || v + step > kMax[comp]) continue;
                    ends[end] = static_cast<uint16_t>((ends[end] & ~(kMax[comp] << kShift[comp])) | ((v + step) << kShift[comp]));
                    BlockFit f = BestOfModes(px, ends[0], ends[1]);
                    if (f.error < best.error) {
                        best = f;
                        improved = true;
                    }
                }
        if (!improved) break;
    }
    return best;
}

std::vector<uint8_t> EncodeDxt1(const std::vector<Rgb8>& src, int32_t width, int32_t height)
{
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(width) * height / 2);
    for (int32_t by = 0; by < height; by += 4)
        for (int32_t bx = 0; bx < width; bx += 4) {
            Rgb8 px[16];
            for (int r = 0; r < 4; r++)
                for (int c = 0; c < 4; c++) px[r * 4 + c] = src[static_cast<size_t>(by + r) * width + bx + c];
            BlockFit f = EncodeBlock(px);
            uint8_t block[8] = {static_cast<uint8_t>(f.c0), static_cast<uint8_t>(f.c0 >> 8), static_cast<uint8_t>(f.c1),
                                static_cast<uint8_t>(f.c1 >> 8), static_cast<uint8_t>(f.indices), static_cast<uint8_t>(f.indices >> 8),
                                static_cast<uint8_t>(f.indices >> 16), static_cast<uint8_t>(f.indices >> 24)};
            out.insert(out.end(), block, block + 8);
        }
    return out;
}

double Psnr(const std::vector<Rgb8>& a, const std::vector<Rgb8>& b)
{
    double sum = 0;
    for (size_t i = 0; i < a.size(); i++) {
        double dr = a[i].r - b[i].r, dg = a[i].g - b[i].g, db = a[i].b - b[i].b;
        sum += dr * dr + dg * dg + db * db;
    }
    double mse = sum / (a.size() * 3.0);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);   // a printed figure only
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        *error = path + ": cannot create";
        return false;
    }
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) *error = path + ": write failed";
    return ok;
}

static void PngChunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& data)
{
    uint32_t n = static_cast<uint32_t>(data.size());
    for (int i = 3; i >= 0; i--) out->push_back(static_cast<uint8_t>(n >> (8 * i)));
    size_t start = out->size();
    out->insert(out->end(), type, type + 4);
    out->insert(out->end(), data.begin(), data.end());
    uLong crc = crc32(0, out->data() + start, static_cast<uInt>(out->size() - start));
    for (int i = 3; i >= 0; i--) out->push_back(static_cast<uint8_t>(crc >> (8 * i)));
}

std::vector<uint8_t> EncodePng(const std::vector<Rgb8>& px, int32_t width, int32_t height)
{
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(height) * (width * 3 + 1));
    for (int32_t y = 0; y < height; y++) {
        raw.push_back(0);                               // no filter
        for (int32_t x = 0; x < width; x++) {
            const Rgb8& p = px[static_cast<size_t>(y) * width + x];
            raw.push_back(p.r);
            raw.push_back(p.g);
            raw.push_back(p.b);
        }
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> z(size);
    compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    z.resize(size);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    for (uint32_t v : {static_cast<uint32_t>(width), static_cast<uint32_t>(height)})
        for (int i = 3; i >= 0; i--) ihdr.push_back(static_cast<uint8_t>(v >> (8 * i)));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});           // 8-bit RGB, deflate, no filter, no interlace
    PngChunk(&out, "IHDR", ihdr);
    PngChunk(&out, "IDAT", z);
    PngChunk(&out, "IEND", {});
    return out;
}
