// base/math.cpp -- x87 sine, cosine, power and rounding (the C library's on processors without x87);
// the MT19937 generator.
// Portable; the float routines keep no state and run on both threads, the generator on the main
// thread during show initialisation only.
#include "base/math.h"

#if defined(__i386__) || defined(__x86_64__)

namespace {

// Runs the enclosed x87 code at 64-bit precision whatever the platform's default control word
// (Windows x64 starts at 53 bits, Linux at 64), so every build gets the same results.
struct X87Precision {
    uint16_t saved;
    X87Precision()
    {
        asm volatile("fnstcw %0" : "=m"(saved));
        uint16_t extended = static_cast<uint16_t>(saved | 0x0300);
        asm volatile("fldcw %0" : : "m"(extended));
    }
    ~X87Precision() { asm volatile("fldcw %0" : : "m"(saved)); }
};

}  // namespace

double Sin(double radians)
{
    X87Precision precision;
    long double r = radians;
    asm("fsin" : "+t"(r));
    return static_cast<double>(r);
}

double Cos(double radians)
{
    X87Precision precision;
    long double r = radians;
    asm("fcos" : "+t"(r));
    return static_cast<double>(r);
}

#else

// Processors without an x87 unit (WebAssembly): the C library's double routines, which stay within
// a fraction of a unit in the last place, as the x87 results do once rounded to double; the
// program only ever rounds these further (to integers, or to float).
double Sin(double radians) { return __builtin_sin(radians); }
double Cos(double radians) { return __builtin_cos(radians); }

#endif

double Sqrt(double x)
{
    return __builtin_sqrt(x);  // SSE2 sqrtsd: correctly rounded, the same everywhere
}

#if defined(__i386__) || defined(__x86_64__)

double Pow(double x, double y)
{
    if (x == 0.0) return 0.0;
    X87Precision precision;
    long double z;
    asm("fyl2x" : "=t"(z) : "0"(static_cast<long double>(x)), "u"(static_cast<long double>(y)) : "st(1)");
    long double n = __builtin_truncl(z);  // integer part, toward zero
    long double f = z - n;                // |f| < 1, the range of f2xm1
    long double r;
    asm("f2xm1" : "=t"(r) : "0"(f));
    r += 1.0L;
    long double scaled;
    asm("fscale" : "=t"(scaled) : "0"(r), "u"(n));
    return static_cast<double>(scaled);
}

int64_t FloatToInt(double x)
{
    // fistp rounds with the current mode, which the program never changes: nearest, ties to even.
    int64_t result;
    long double v = x;
    asm("fistpll %0" : "=m"(result) : "t"(v) : "st");
    return result;
}

#else

double Pow(double x, double y)
{
    if (x == 0.0) return 0.0;
    return __builtin_pow(x, y);
}

int64_t FloatToInt(double x)
{
    return static_cast<int64_t>(__builtin_nearbyint(x));  // the default rounding: nearest, ties to even
}

#endif

// ---- MT19937 -------------------------------------------------------------------------------

static uint32_t g_mt[624];                            // the state vector
static int32_t  g_mtIndex = 625;                      // 624: regenerate; 625: never seeded
static const uint32_t g_mtTwist[2] = {0, 0x9908B0DFu};

void RandomSeed(uint32_t seed)
{
    g_mt[0] = seed;
    for (int i = 1; i < 624; i++) g_mt[i] = g_mt[i - 1] * 69069u;
    g_mtIndex = 624;
}

int32_t Random()
{
    if (g_mtIndex >= 624) {
        if (g_mtIndex == 625) RandomSeed(4357);
        for (int k = 0; k < 624; k++) {
            uint32_t y = (g_mt[k] & 0x80000000u) | (g_mt[(k + 1) % 624] & 0x7FFFFFFFu);
            g_mt[k] = g_mt[(k + 397) % 624] ^ (y >> 1) ^ g_mtTwist[y & 1];
        }
        g_mtIndex = 0;
    }
    uint32_t y = g_mt[g_mtIndex++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return static_cast<int32_t>(y & 0x7FFF);
}
