// tools/forge/canvas.h -- the forge's paint box: float RGB canvases, deterministic math and noise,
// lettering through FreeType, and the writers for the formats the program embeds.
// Native only. Every number here comes from +, -, *, / and sqrt on doubles (correctly rounded on
// every x86-64 build, no fused multiply-adds), never from the C library's transcendental functions,
// so the same sources give the same bytes on every machine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// ---- math ----------------------------------------------------------------------------------------
const double kPi = 3.14159265358979323846;

double FSin(double x);
double FCos(double x);
double FExp(double x);
double FLog(double x);                          // x > 0
double FPow(double x, double y);                // x >= 0; 0 for x = 0
double FAtan2(double y, double x);
double Clamp01(double x);
double Mix(double a, double b, double t);
double SmoothStep(double e0, double e1, double x);

// ---- noise ---------------------------------------------------------------------------------------
uint32_t Hash(int32_t x, int32_t y, uint32_t seed);
double   Hash01(int32_t x, int32_t y, uint32_t seed);  // [0, 1)
// Value noise in [0, 1); periodX > 0 makes it repeat every periodX units along x.
double   Noise(double x, double y, uint32_t seed, int32_t periodX = 0);
// Sum of octaves, each twice the frequency and `gain` times the amplitude; normalised to [0, 1).
double   Fbm(double x, double y, uint32_t seed, int octaves, double gain = 0.5, int32_t periodX = 0);

// Distances to the nearest and second-nearest jittered cell point (cells of size 1).
struct Cells { double f1, f2; int32_t cx, cy; };
Cells    Voronoi(double x, double y, uint32_t seed);

// ---- colour and canvas ---------------------------------------------------------------------------
struct Rgb { double r, g, b; };
Rgb  operator+(Rgb a, Rgb b);
Rgb  operator*(Rgb a, double k);
Rgb  MixRgb(Rgb a, Rgb b, double t);
Rgb  Hex(uint32_t rgb);                         // 0xRRGGBB to 0..1 components

struct Canvas {
    int32_t width = 0, height = 0;
    std::vector<Rgb> px;                        // rows top to bottom, components 0..1 (may exceed 1)
    Canvas(int32_t w, int32_t h);
    Rgb& at(int32_t x, int32_t y) { return px[static_cast<size_t>(y) * width + x]; }
    const Rgb& at(int32_t x, int32_t y) const { return px[static_cast<size_t>(y) * width + x]; }
};

struct Mask {                                   // one float per pixel, 0..1
    int32_t width = 0, height = 0;
    std::vector<double> a;
    Mask(int32_t w, int32_t h);
    double& at(int32_t x, int32_t y) { return a[static_cast<size_t>(y) * width + x]; }
};

// Fills every pixel from a function of (x, y) in pixels, averaged over an n x n grid of samples.
template <typename F>
void Shade(Canvas* c, int n, F f)
{
    for (int32_t y = 0; y < c->height; y++)
        for (int32_t x = 0; x < c->width; x++) {
            Rgb sum{0, 0, 0};
            for (int j = 0; j < n; j++)
                for (int i = 0; i < n; i++) sum = sum + f(x + (i + 0.5) / n, y + (j + 0.5) / n);
            c->at(x, y) = sum * (1.0 / (n * n));
        }
}

void AddGlow(Canvas* c, double cx, double cy, double radius, Rgb colour);   // soft additive disc
void AddSpark(Canvas* c, double x0, double y0, double x1, double y1, double width, Rgb colour);
void Blur(Mask* m, int radius);                 // three box passes, close to a Gaussian
void Composite(Canvas* c, const Mask& m, Rgb colour, double opacity);      // paint through the mask
void AddMasked(Canvas* c, const Mask& m, Rgb colour, double strength);     // add light through the mask
void Vignette(Canvas* c, double strength);

// ---- lettering -----------------------------------------------------------------------------------
enum FontFace { kSerif, kSerifBold, kSerifItalic, kSans, kSansBold, kSansLight, kFontCount };
bool    FontsOpen(std::string* error);          // false with a message naming the missing font file
void    FontsClose();
double  TextWidth(FontFace face, double pixels, const char* text, double tracking = 0);
// Adds coverage of the text to the mask; x is the left end of the pen, baseline the pen's y.
void    DrawText(Mask* m, FontFace face, double pixels, const char* text, double x, double baseline,
                 double tracking = 0);
void    DrawTextCentred(Mask* m, FontFace face, double pixels, const char* text, double centreX,
                        double baseline, double tracking = 0);

// ---- output formats ------------------------------------------------------------------------------
struct Rgb8 { uint8_t r, g, b; };
std::vector<Rgb8>     ToRgb8(const Canvas& c);                   // rounded, clamped
uint16_t              PackRgb565(int r8, int g8, int b8);        // rounded to 5/6/5 bits
Rgb8                  ExpandRgb565(uint16_t w);                  // bit replication back to 8 bits
// 16-bit words, little-endian; dither 0 = plain rounding, 1 = a 4 x 4 ordered dither (for gradients)
std::vector<uint8_t>  ToRgb565(const Canvas& c, int dither);
std::vector<uint8_t>  ToArgb4444(const Canvas& c);               // opaque, ordered dither
std::vector<uint8_t>  DdsHeaderRgb565(int32_t width, int32_t height);

// DXT1: encodes 8-bit RGB (width and height multiples of 4) into the published block layout.
std::vector<uint8_t>  EncodeDxt1(const std::vector<Rgb8>& src, int32_t width, int32_t height);
double                Psnr(const std::vector<Rgb8>& a, const std::vector<Rgb8>& b);

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error);
// A PNG (8-bit RGB, zlib at level 9) of the given pixels.
std::vector<uint8_t> EncodePng(const std::vector<Rgb8>& px, int32_t width, int32_t height);
