// The show's Direct3D layer against a recording fake device: which states each draw sees, what
// is put back afterwards, the viewports, the buffers' creation, and the end of the show.
#include <gtest/gtest.h>

#include <windows.h>
#include <d3d8.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/frame_clock.h"
#include "base/math.h"
#include "gfx/device.h"
#include "gfx/textures.h"
#include "show/main_effect.h"
#include "show/slideshow.h"
#include "show/starfield.h"
#include "show/title_card.h"
#include "support/recording_device.h"

using namespace recording;

namespace {

// The device global points at a fresh recording device for the length of one test.
class ShowEffects : public ::testing::Test {
protected:
    void SetUp() override
    {
        saved_ = g_device;
        g_device = &device_;
        for (int i = 0; i < 7; i++) savedSlides_[i] = g_slideTextures[i];
    }
    void TearDown() override
    {
        g_device = saved_;
        for (int i = 0; i < 7; i++) g_slideTextures[i] = savedSlides_[i];
    }
    void UseFakeSlides()
    {
        for (int i = 0; i < 7; i++) g_slideTextures[i] = &slides_[i];
    }

    RecordingDevice device_;
    IDirect3DDevice8* saved_ = nullptr;
    FakeTexture slides_[7];
    IDirect3DTexture8* savedSlides_[7];
};

bool QuitPosted()
{
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

uint32_t ColourOf(const DrawRecord& d, int vertex)
{
    uint32_t c;
    std::memcpy(&c, d.vertices.data() + vertex * d.stride + 16, 4);
    return c;
}

float FloatAt(const DrawRecord& d, int vertex, int field)
{
    float f;
    std::memcpy(&f, d.vertices.data() + vertex * d.stride + field * 4, 4);
    return f;
}

// A viewport as "x y width height".
std::string Area(const D3DVIEWPORT8& v)
{
    return std::to_string(v.X) + " " + std::to_string(v.Y) + " " + std::to_string(v.Width) + " " + std::to_string(v.Height);
}

// Whether Direct3D draws every triangle of this strip of pre-transformed vertices under the cull
// mode it met. On screen (y down) a positive cross product is a clockwise triangle, which
// D3DCULL_CW removes (D3DCULL_CCW the others); a strip's odd triangles wind the other way round.
bool NoneCulled(const DrawRecord& d)
{
    const DWORD cull = d.renderState[D3DRS_CULLMODE];
    if (d.type != D3DPT_TRIANGLESTRIP) return false;
    for (UINT i = 0; i < d.count; i++) {
        float ax = FloatAt(d, i, 0), ay = FloatAt(d, i, 1);
        float cross = (FloatAt(d, i + 1, 0) - ax) * (FloatAt(d, i + 2, 1) - ay) -
                      (FloatAt(d, i + 1, 1) - ay) * (FloatAt(d, i + 2, 0) - ax);
        if (i & 1) cross = -cross;
        if ((cull == D3DCULL_CW && cross > 0) || (cull == D3DCULL_CCW && cross < 0)) return false;
    }
    return true;
}

// The states that decide how a draw looks, as a viewer sees it; -1: any.
struct Look { int zTest, zWrite, blend, src, dest, shade; };
const Look kFlatOverAll = {FALSE, -1, FALSE, -1, -1, D3DSHADE_GOURAUD};       // colour lines
const Look kSolidBody = {TRUE, TRUE, FALSE, -1, -1, D3DSHADE_FLAT};           // the globe
const Look kAddedLight = {-1, -1, TRUE, D3DBLEND_ONE, D3DBLEND_ONE, -1};      // sparks, stars

void ExpectLook(const DrawRecord& d, const Look& l, const char* what)
{
    const struct { D3DRENDERSTATETYPE state; int want; } checks[] = {
        {D3DRS_ZENABLE, l.zTest}, {D3DRS_ZWRITEENABLE, l.zWrite}, {D3DRS_ALPHABLENDENABLE, l.blend},
        {D3DRS_SRCBLEND, l.src}, {D3DRS_DESTBLEND, l.dest}, {D3DRS_SHADEMODE, l.shade},
    };
    for (const auto& c : checks)
        if (c.want >= 0) EXPECT_EQ(d.renderState[c.state], DWORD(c.want)) << what << ": state " << c.state;
}

}  // namespace

TEST_F(ShowEffects, MainEffectBuffersStatesAndViewports)
{
    RandomSeed(4357);
    for (int i = 0; i < 1024; i++) Random();
    const int32_t afterRing = Random();
    RandomSeed(4357);
    MainEffectInit();
    EXPECT_EQ(Random(), afterRing);  // exactly 1,024 draws

    ASSERT_EQ(device_.vertexBuffers.size(), 2u);
    FakeVertexBuffer* mesh = device_.vertexBuffers[0];
    FakeVertexBuffer* ring = device_.vertexBuffers[1];
    EXPECT_EQ(mesh->bytes.size(), 10240u);
    EXPECT_EQ(mesh->usage, DWORD(D3DUSAGE_WRITEONLY));
    EXPECT_EQ(mesh->fvf, 0x102u);
    EXPECT_EQ(mesh->pool, D3DPOOL_MANAGED);
    EXPECT_EQ(ring->bytes.size(), 49152u);
    EXPECT_EQ(ring->usage, DWORD(D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC));
    EXPECT_EQ(ring->fvf, 0x104u);
    EXPECT_EQ(ring->pool, D3DPOOL_SYSTEMMEM);
    ASSERT_EQ(device_.indexBuffers.size(), 1u);
    EXPECT_EQ(device_.indexBuffers[0]->bytes.size(), 6144u);
    EXPECT_EQ(device_.indexBuffers[0]->format, D3DFMT_INDEX16);
    ASSERT_EQ(device_.textures.size(), 2u);  // spark first, then globe
    EXPECT_EQ(device_.textures[0]->surface.format, D3DFMT_R5G6B5);
    EXPECT_EQ(device_.textures[0]->surface.width, 32u);
    EXPECT_EQ(device_.textures[1]->surface.format, D3DFMT_A4R4G4B4);
    EXPECT_EQ(device_.textures[1]->surface.width, 64u);
    FakeTexture* spark = device_.textures[0];
    FakeTexture* globe = device_.textures[1];

    // The scroll text leaves clockwise culling behind; the lower line must survive it.
    device_.SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    device_.Forget();
    g_frameTime = 0.25f;
    MainEffectFrame();

    ASSERT_EQ(device_.draws.size(), 19u);  // lower line, 16 globe bands, ring, upper line
    const DrawRecord& lower = device_.draws[0];
    EXPECT_EQ(lower.call, "DrawPrimitiveUP");
    EXPECT_EQ(lower.type, D3DPT_TRIANGLESTRIP);
    EXPECT_EQ(lower.count, 36u);
    EXPECT_EQ(lower.stride, 20u);
    EXPECT_EQ(lower.fvf, 0x44u);
    EXPECT_EQ(lower.texture, nullptr);
    ExpectLook(lower, kFlatOverAll, "lower line");
    EXPECT_TRUE(NoneCulled(lower));
    EXPECT_EQ(FloatAt(lower, 0, 1), 420.0f);
    EXPECT_EQ(FloatAt(lower, 1, 1), 421.0f);
    EXPECT_EQ(ColourOf(lower, 1), 0x7FFF00u);  // rainbow[6]

    for (int band = 0; band < 16; band++) {
        const DrawRecord& d = device_.draws[1 + band];
        EXPECT_EQ(d.call, "DrawPrimitive");
        EXPECT_EQ(d.start, UINT(32 * band));
        EXPECT_EQ(d.count, 30u);
        EXPECT_EQ(d.fvf, 0x102u);
        EXPECT_EQ(d.texture, globe);
        EXPECT_EQ(d.stream, mesh);
        EXPECT_EQ(Area(d.viewport), "0 360 160 120");
        EXPECT_EQ(d.renderState[D3DRS_CULLMODE], DWORD(D3DCULL_CCW));  // the far side hidden
        ExpectLook(d, kSolidBody, "globe");
    }

    const DrawRecord& sprites = device_.draws[17];
    EXPECT_EQ(sprites.call, "DrawIndexedPrimitive");
    EXPECT_EQ(sprites.type, D3DPT_TRIANGLELIST);
    EXPECT_EQ(sprites.count, 1024u);
    EXPECT_EQ(sprites.fvf, 0x104u);
    EXPECT_EQ(sprites.texture, spark);
    EXPECT_EQ(sprites.stream, ring);
    EXPECT_EQ(Area(sprites.viewport), "0 0 640 480");
    ExpectLook(sprites, kAddedLight, "sparks");
    EXPECT_EQ(sprites.renderState[D3DRS_ZENABLE], DWORD(TRUE));        // hidden behind the globe,
    EXPECT_EQ(sprites.renderState[D3DRS_ZWRITEENABLE], DWORD(FALSE));  // never behind each other
    EXPECT_EQ(sprites.renderState[D3DRS_CULLMODE], DWORD(D3DCULL_NONE));
    EXPECT_EQ(ring->locks, 2);  // once at init, once this frame
    EXPECT_FALSE(ring->locked);

    // The ring's fixed fields survive the per-frame rewrite, and the sprites sit round (80, 420).
    const TexturedVertex* v = reinterpret_cast<const TexturedVertex*>(ring->bytes.data());
    EXPECT_EQ(v[3].rhw, 1.0f);
    EXPECT_EQ(v[3].u, 1.0f);
    EXPECT_EQ(v[2].v, 1.0f);
    float cx = 0.5f * (v[0].x + v[1].x), cy = 0.5f * (v[0].y + v[2].y);
    EXPECT_LT(std::abs(cx - 80.0f), 200.0f);
    EXPECT_LT(std::abs(cy - 420.0f), 200.0f);
    EXPECT_GT(v[0].z, 0.0f);
    EXPECT_LT(v[0].z, 1.0f);

    const DrawRecord& upper = device_.draws[18];
    EXPECT_EQ(upper.fvf, 0x44u);
    EXPECT_EQ(upper.texture, nullptr);
    ExpectLook(upper, kFlatOverAll, "upper line");
    EXPECT_TRUE(NoneCulled(upper));
    EXPECT_EQ(device_.renderState[D3DRS_ZWRITEENABLE], DWORD(TRUE));  // for the next frame's globe
    EXPECT_EQ(FloatAt(upper, 0, 0), 640.0f);
    EXPECT_EQ(FloatAt(upper, 1, 1), 59.0f);

    EXPECT_EQ(Area(device_.viewport), "0 0 640 480");
    EXPECT_EQ(device_.Count("Transform 2"), 1);    // view
    EXPECT_EQ(device_.Count("Transform 256"), 1);  // world
    EXPECT_EQ(device_.Count("Transform 3"), 1);    // projection
    EXPECT_FLOAT_EQ(device_.transforms[D3DTS_PROJECTION].m[1][1], 3.25203252f);
    EXPECT_NEAR(device_.transforms[D3DTS_WORLD].m[0][1], std::sin(0.025f), 1e-6);
    // The lines moved 50 px: one step, 10 px into the next.
    EXPECT_FLOAT_EQ(g_lineScroll, -10.0f);
    EXPECT_EQ(g_linePhase, 1);

    MainEffectRelease();
    EXPECT_EQ(mesh->refs, 0);
    EXPECT_EQ(ring->refs, 0);
    EXPECT_EQ(device_.indexBuffers[0]->refs, 0);
    EXPECT_EQ(spark->refs, 0);
    EXPECT_EQ(globe->refs, 0);
    MainEffectRelease();  // a second release touches nothing
    EXPECT_EQ(mesh->refs, 0);
}

TEST_F(ShowEffects, StarfieldCaptionFiltersAndBand)
{
    RandomSeed(4357);
    for (int i = 0; i < 1024; i++) Random();
    StarfieldInit();
    ASSERT_EQ(device_.vertexBuffers.size(), 1u);
    FakeVertexBuffer* stars = device_.vertexBuffers[0];
    EXPECT_EQ(stars->bytes.size(), 40960u);
    EXPECT_EQ(stars->usage, DWORD(D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS | D3DUSAGE_DYNAMIC));
    EXPECT_EQ(stars->fvf, 0x44u);
    EXPECT_EQ(stars->pool, D3DPOOL_SYSTEMMEM);
    ASSERT_EQ(device_.textures.size(), 1u);
    FakeTexture* caption = device_.textures[0];
    EXPECT_EQ(caption->surface.width, 128u);

    float depth0 = g_stars[0].depth;
    device_.Forget();
    g_frameTime = 0.1f;
    StarfieldFrame();

    ASSERT_EQ(device_.draws.size(), 2u);
    const DrawRecord& cap = device_.draws[0];
    EXPECT_EQ(cap.texture, caption);
    EXPECT_EQ(cap.fvf, 0x104u);
    EXPECT_EQ(cap.stride, 24u);
    EXPECT_EQ(cap.stage0[D3DTSS_MAGFILTER], DWORD(D3DTEXF_POINT));
    EXPECT_EQ(cap.stage0[D3DTSS_MINFILTER], DWORD(D3DTEXF_POINT));
    EXPECT_EQ(cap.stage0[D3DTSS_MIPFILTER], DWORD(D3DTEXF_POINT));
    EXPECT_EQ(cap.renderState[D3DRS_ZENABLE], DWORD(FALSE));
    EXPECT_EQ(cap.renderState[D3DRS_ALPHABLENDENABLE], DWORD(FALSE));
    EXPECT_TRUE(NoneCulled(cap));
    EXPECT_EQ(FloatAt(cap, 0, 0), 512.0f);
    EXPECT_EQ(FloatAt(cap, 3, 1), 568.0f);
    EXPECT_EQ(Area(cap.viewport), "0 0 640 480");

    const DrawRecord& points = device_.draws[1];
    EXPECT_EQ(points.type, D3DPT_POINTLIST);
    EXPECT_EQ(points.count, 2048u);
    EXPECT_EQ(points.stream, stars);
    EXPECT_EQ(points.texture, nullptr);
    EXPECT_EQ(points.fvf, 0x44u);
    EXPECT_EQ(Area(points.viewport), "0 60 640 360");
    ExpectLook(points, kAddedLight, "stars");
    EXPECT_EQ(points.renderState[D3DRS_ZENABLE], DWORD(FALSE));
    // Filters are linear again before the stars, and after the frame the viewport is whole.
    EXPECT_EQ(points.stage0[D3DTSS_MAGFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(points.stage0[D3DTSS_MINFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(points.stage0[D3DTSS_MIPFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(Area(device_.viewport), "0 0 640 480");

    const ColourVertex* v = reinterpret_cast<const ColourVertex*>(stars->bytes.data());
    EXPECT_EQ(v[0].z, 1.0f);
    EXPECT_EQ(v[2047].rhw, 1.0f);
    EXPECT_FLOAT_EQ(v[0].x, g_stars[0].x / depth0 + 320.0f);  // from the depth before the move
    EXPECT_FLOAT_EQ(g_stars[0].depth, depth0 - 5.0f > 0.0f ? depth0 - 5.0f : depth0 + 2043.0f);
    EXPECT_FALSE(stars->locked);

    StarfieldRelease();
    EXPECT_EQ(stars->refs, 0);
    EXPECT_EQ(caption->refs, 0);
}

TEST_F(ShowEffects, SlideshowPutsTheAlphaOperationBack)
{
    UseFakeSlides();
    g_slideshow = g_slideshowStart;

    g_frameTime = 0.5f;
    SlideshowFrame();  // timer 2.0, cross-fade on: slide 1 opaque over slide 0
    ASSERT_EQ(device_.draws.size(), 2u);
    const DrawRecord& under = device_.draws[0];
    const DrawRecord& over = device_.draws[1];
    EXPECT_EQ(under.texture, &slides_[0]);
    EXPECT_EQ(under.fvf, 0x144u);
    EXPECT_EQ(under.stride, 28u);
    EXPECT_EQ(under.renderState[D3DRS_ALPHABLENDENABLE], DWORD(FALSE));
    EXPECT_EQ(under.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_CLAMP));
    EXPECT_EQ(under.stage0[D3DTSS_ADDRESSV], DWORD(D3DTADDRESS_CLAMP));
    EXPECT_EQ(ColourOf(under, 0), 0xFFFFFFFFu);
    EXPECT_TRUE(NoneCulled(under));
    EXPECT_EQ(over.texture, &slides_[1]);
    EXPECT_EQ(over.stage0[D3DTSS_ALPHAOP], DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(over.renderState[D3DRS_ALPHABLENDENABLE], DWORD(TRUE));
    EXPECT_EQ(over.renderState[D3DRS_SRCBLEND], DWORD(D3DBLEND_SRCALPHA));
    EXPECT_EQ(over.renderState[D3DRS_DESTBLEND], DWORD(D3DBLEND_INVSRCALPHA));
    EXPECT_EQ(ColourOf(over, 3), 0xFFFFFFFFu);
    EXPECT_TRUE(NoneCulled(over));
    EXPECT_EQ(device_.stage0[D3DTSS_ALPHAOP], DWORD(D3DTOP_SELECTARG1));
    EXPECT_EQ(device_.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_WRAP));
    EXPECT_EQ(device_.stage0[D3DTSS_ADDRESSV], DWORD(D3DTADDRESS_WRAP));

    device_.Forget();
    SlideshowFrame();  // timer 2.5: still the cross-fade pair
    EXPECT_EQ(device_.draws.size(), 2u);
    device_.Forget();
    SlideshowFrame();  // timer 3.0: slide 1 alone
    ASSERT_EQ(device_.draws.size(), 1u);
    EXPECT_EQ(device_.draws[0].texture, &slides_[1]);
    EXPECT_EQ(g_slideshow.index, 1);
}

TEST_F(ShowEffects, EndSequenceGlidesAndQuitsAfterSevenSeconds)
{
    UseFakeSlides();
    g_slideshow = {4.0f, 0, 5};
    g_endTimer = 0.0f;
    while (QuitPosted()) {
    }

    g_frameTime = 1.0f;
    EndSequenceFrame();  // end timer 0: the card at alpha 0 where the slide is
    ASSERT_EQ(device_.draws.size(), 2u);
    const DrawRecord& card = device_.draws[1];
    EXPECT_EQ(card.texture, &slides_[3]);
    EXPECT_EQ(card.stage0[D3DTSS_ALPHAOP], DWORD(D3DTOP_MODULATE));
    EXPECT_EQ(card.renderState[D3DRS_ALPHABLENDENABLE], DWORD(TRUE));
    EXPECT_EQ(card.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_CLAMP));
    EXPECT_EQ(ColourOf(card, 0), 0x00FFFFFFu);
    EXPECT_EQ(FloatAt(card, 0, 0), 32.0f);
    EXPECT_EQ(device_.stage0[D3DTSS_ALPHAOP], DWORD(D3DTOP_SELECTARG1));
    EXPECT_EQ(device_.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_WRAP));

    device_.Forget();
    EndSequenceFrame();  // 1.0: half way in, the slideshow drawn first at the old position
    EXPECT_EQ(FloatAt(device_.draws[0], 0, 0), 32.0f);
    EXPECT_EQ(ColourOf(device_.draws[1], 0), 0x80FFFFFFu);
    float x = g_slideQuad[0].x;
    EXPECT_NEAR(x, 32.0f + 160.0f * 0.7071068f, 1e-3);

    for (int i = 0; i < 4; i++) EndSequenceFrame();  // 2.0 .. 5.0: hold
    EXPECT_FALSE(QuitPosted());
    g_frameTime = 0.5f;
    EndSequenceFrame();                              // 6.0 hold
    device_.Forget();
    EndSequenceFrame();                              // 6.5: darkening, blending off
    const DrawRecord& dark = device_.draws.back();
    EXPECT_EQ(dark.renderState[D3DRS_ALPHABLENDENABLE], DWORD(FALSE));
    EXPECT_EQ(ColourOf(dark, 2), 0xFF808080u);
    EXPECT_EQ(FloatAt(dark, 1, 0), g_slideQuad[1].x);  // never moved back
    EXPECT_FALSE(QuitPosted());                      // 7.0 is not past 7
    EndSequenceFrame();
    EXPECT_TRUE(QuitPosted());                       // 7.5
    EndSequenceFrame();
    EXPECT_TRUE(QuitPosted());                       // and on every frame after
}

TEST_F(ShowEffects, TitleCardEndsEarlyOnQuitAndReleasesItsTexture)
{
    PostQuitMessage(0);
    RunTitleCard();
    EXPECT_EQ(device_.presents, 0);
    ASSERT_EQ(device_.textures.size(), 1u);
    EXPECT_EQ(device_.textures[0]->surface.width, 256u);
    EXPECT_EQ(device_.textures[0]->surface.format, D3DFMT_R5G6B5);
    EXPECT_EQ(device_.textures[0]->refs, 0);
    EXPECT_FALSE(QuitPosted());  // consumed by the card
}

TEST_F(ShowEffects, TitleCardRunsSixSecondsWithFiltersPutBack)
{
    RunTitleCard();
    ASSERT_GT(device_.draws.size(), 10u);
    EXPECT_EQ(device_.presents, static_cast<int>(device_.draws.size()));
    EXPECT_EQ(device_.clears, device_.presents);
    for (const DrawRecord& d : device_.draws) {
        ASSERT_TRUE(d.inScene);
        ASSERT_EQ(d.fvf, 0x144u);
        ASSERT_EQ(d.stride, 28u);
        ASSERT_EQ(d.stage0[D3DTSS_MAGFILTER], DWORD(D3DTEXF_POINT));
        ASSERT_EQ(d.stage0[D3DTSS_MINFILTER], DWORD(D3DTEXF_POINT));
        ASSERT_EQ(d.stage0[D3DTSS_MIPFILTER], DWORD(D3DTEXF_POINT));
        ASSERT_EQ(d.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_CLAMP));
        ASSERT_EQ(d.renderState[D3DRS_ZENABLE], DWORD(FALSE));
        ASSERT_EQ(d.renderState[D3DRS_ALPHABLENDENABLE], DWORD(FALSE));
        ASSERT_TRUE(NoneCulled(d));
        ASSERT_EQ(d.texture, device_.textures[0]);
    }
    EXPECT_EQ(ColourOf(device_.draws[0], 0), 0u);          // black at first
    EXPECT_EQ(FloatAt(device_.draws[0], 0, 5), -0.75f);    // u of vertex 0
    uint32_t brightest = 0;
    for (const DrawRecord& d : device_.draws) brightest = std::max(brightest, ColourOf(d, 3) & 0xFF);
    EXPECT_GT(brightest, 200u);
    EXPECT_LT(ColourOf(device_.draws.back(), 0) & 0xFF, brightest);  // fading out at the end
    std::printf("title card: %zu frames\n", device_.draws.size());
    EXPECT_EQ(device_.stage0[D3DTSS_MAGFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(device_.stage0[D3DTSS_MINFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(device_.stage0[D3DTSS_MIPFILTER], DWORD(D3DTEXF_LINEAR));
    EXPECT_EQ(device_.stage0[D3DTSS_ADDRESSU], DWORD(D3DTADDRESS_WRAP));
    EXPECT_EQ(device_.stage0[D3DTSS_ADDRESSV], DWORD(D3DTADDRESS_WRAP));
    EXPECT_EQ(device_.textures[0]->refs, 0);
}
