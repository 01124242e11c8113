// Choosing the display mode and creating the device, against a recording fake adapter: which
// modes become candidates, the order they are tried in, and what each CreateDevice is given.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "base/heap.h"
#include "gfx/device.h"
#include "support/fake_d3d8.h"

namespace {

HWND const              kWindow = reinterpret_cast<HWND>(uintptr_t{ 0x1234 });       // the focus window
IDirect3DDevice8* const kDevice = reinterpret_cast<IDirect3DDevice8*>(uintptr_t{ 0xD3D8 });  // never called

struct Tried {
    D3DFORMAT format;
    UINT      refresh;
    D3DFORMAT depth;
};

class Device : public ::testing::Test {
protected:
    FakeDirect3D8 fake;
    int32_t       liveBefore = 0;

    void SetUp() override
    {
        fake.deviceToReturn = kDevice;
        g_d3d = &fake;
        g_device = nullptr;
        liveBefore = MemLiveBlocks();
    }
    void TearDown() override
    {
        EXPECT_EQ(MemLiveBlocks(), liveBefore) << "the candidate list must be freed";
        EXPECT_EQ(fake.badArguments, 0);
        g_d3d = nullptr;
        g_device = nullptr;
    }

    // Every mode is tried (all CreateDevice calls fail); returns the attempts in order.
    std::vector<Tried> Order()
    {
        fake.failingCreates = 1000;
        EXPECT_FALSE(CreateDeviceFromModes(kWindow));
        std::vector<Tried> tried;
        for (auto& c : fake.creates)
            tried.push_back({ c.pp.BackBufferFormat, c.pp.FullScreen_RefreshRateInHz, c.pp.AutoDepthStencilFormat });
        return tried;
    }
};

void ExpectOrder(const std::vector<Tried>& got, const std::vector<Tried>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(got[i].format, want[i].format) << "attempt " << i;
        EXPECT_EQ(got[i].refresh, want[i].refresh) << "attempt " << i;
        EXPECT_EQ(got[i].depth, want[i].depth) << "attempt " << i;
    }
}

TEST_F(Device, OnlyFullScreen640x480InFormats20To26WithADepthBuffer)
{
    fake.AddMode(D3DFMT_P8, 60, true, true);                // palettised: outside 20..26
    fake.AddMode(D3DFMT_A2B10G10R10, 60, true, true);       // 31: outside
    fake.AddMode(static_cast<D3DFORMAT>(19), 60, true, true);
    fake.AddMode(static_cast<D3DFORMAT>(27), 60, true, true);
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true, 800, 600);
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true, 640, 400);
    fake.AddMode(D3DFMT_R5G6B5, 60, false, false);          // no depth buffer at all
    fake.AddMode(D3DFMT_A8R8G8B8, 60, true, true);          // refused full screen below
    fake.fullscreenFormats = { D3DFMT_R5G6B5, D3DFMT_X8R8G8B8 };
    EXPECT_EQ(BuildModeCandidates(), nullptr);
    EXPECT_FALSE(CreateDeviceFromModes(kWindow));
    EXPECT_TRUE(fake.creates.empty());
    EXPECT_EQ(g_device, nullptr);
    // Size and format are filtered before the adapter is asked anything about the mode.
    EXPECT_EQ(fake.deviceTypeChecks, (std::vector<D3DFORMAT>{ D3DFMT_R5G6B5, D3DFMT_A8R8G8B8,
                                                              D3DFMT_R5G6B5, D3DFMT_A8R8G8B8 }));
}

TEST_F(Device, NoModesAtAll)
{
    EXPECT_FALSE(CreateDeviceFromModes(kWindow));
    EXPECT_TRUE(fake.creates.empty());
}

TEST_F(Device, RefreshRatesAbove255AreNeverUsed)
{
    fake.AddMode(D3DFMT_X8R8G8B8, 256, true, false);
    fake.AddMode(D3DFMT_X8R8G8B8, 300, true, false);
    fake.AddMode(D3DFMT_X8R8G8B8, 511, true, false);   // would alias to 255 in the key's 8 bits
    fake.AddMode(D3DFMT_X8R8G8B8, 255, true, false);
    ExpectOrder(Order(), { { D3DFMT_X8R8G8B8, 255, D3DFMT_D32 } });
}

TEST_F(Device, DepthThenFormatThenRefresh)
{
    // Reported in an order unlike the preference, as adapters do.
    fake.AddMode(D3DFMT_R5G6B5, 85, true, true);
    fake.AddMode(D3DFMT_R8G8B8, 60, false, true);       // D16 only: after every D32 mode
    fake.AddMode(D3DFMT_X8R8G8B8, 75, true, true);
    fake.AddMode(D3DFMT_A4R4G4B4, 0, false, true);
    fake.AddMode(D3DFMT_X8R8G8B8, 0, true, true);
    fake.AddMode(D3DFMT_R5G6B5, 60, true, false);
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true);
    ExpectOrder(Order(), {
        { D3DFMT_X8R8G8B8, 0,  D3DFMT_D32 },
        { D3DFMT_X8R8G8B8, 60, D3DFMT_D32 },
        { D3DFMT_X8R8G8B8, 75, D3DFMT_D32 },
        { D3DFMT_R5G6B5,   60, D3DFMT_D32 },
        { D3DFMT_R5G6B5,   85, D3DFMT_D32 },
        { D3DFMT_R8G8B8,   60, D3DFMT_D16 },
        { D3DFMT_A4R4G4B4, 0,  D3DFMT_D16 },
    });
}

TEST_F(Device, D32NeedsBothChecks)
{
    // D32 passes the format check but not the match (and the other way round): D16 is used.
    fake.AddMode(D3DFMT_X8R8G8B8, 60, false, true);
    fake.depthFormats.insert({ D3DFMT_X8R8G8B8, D3DFMT_D32 });
    fake.AddMode(D3DFMT_R5G6B5, 60, false, true);
    fake.depthMatches.insert({ D3DFMT_R5G6B5, D3DFMT_D32 });
    ExpectOrder(Order(), { { D3DFMT_X8R8G8B8, 60, D3DFMT_D16 }, { D3DFMT_R5G6B5, 60, D3DFMT_D16 } });

    uint32_t kind = 77;
    EXPECT_EQ(FindDepthFormat(D3DFMT_X8R8G8B8, &kind), 0);
    EXPECT_EQ(kind, uint32_t{ DEPTH_KIND_D16 });
    fake.depthMatches.clear();
    kind = 77;
    EXPECT_EQ(FindDepthFormat(D3DFMT_X8R8G8B8, &kind), -1);
    EXPECT_EQ(kind, 77u);  // untouched
}

TEST_F(Device, AFailedCreateMovesOnToTheNextCandidateWithItsOwnSettings)
{
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true);
    fake.AddMode(D3DFMT_R5G6B5, 0, false, true);
    fake.AddMode(D3DFMT_R5G6B5, 75, false, true);
    fake.failingCreates = 1;
    ASSERT_TRUE(CreateDeviceFromModes(kWindow));
    EXPECT_EQ(g_device, kDevice);
    ASSERT_EQ(fake.creates.size(), 2u);

    const D3DPRESENT_PARAMETERS& pp = fake.creates[1].pp;
    EXPECT_EQ(pp.BackBufferWidth, 640u);
    EXPECT_EQ(pp.BackBufferHeight, 480u);
    EXPECT_EQ(pp.BackBufferFormat, D3DFMT_R5G6B5);
    EXPECT_EQ(pp.BackBufferCount, 0u);
    EXPECT_EQ(pp.MultiSampleType, D3DMULTISAMPLE_NONE);
    EXPECT_EQ(pp.SwapEffect, D3DSWAPEFFECT_DISCARD);
    EXPECT_EQ(pp.hDeviceWindow, nullptr);
    EXPECT_FALSE(pp.Windowed);
    EXPECT_TRUE(pp.EnableAutoDepthStencil);
    EXPECT_EQ(pp.AutoDepthStencilFormat, D3DFMT_D16);
    EXPECT_EQ(pp.Flags, 0u);
    EXPECT_EQ(pp.FullScreen_RefreshRateInHz, 0u);
    EXPECT_EQ(pp.FullScreen_PresentationInterval, 0u);
    EXPECT_EQ(fake.creates[0].pp.BackBufferFormat, D3DFMT_X8R8G8B8);
    EXPECT_EQ(fake.creates[0].pp.AutoDepthStencilFormat, D3DFMT_D32);
    EXPECT_EQ(fake.creates[0].pp.FullScreen_RefreshRateInHz, 60u);
    for (auto& c : fake.creates) {
        EXPECT_EQ(c.adapter, UINT{ D3DADAPTER_DEFAULT });
        EXPECT_EQ(c.type, D3DDEVTYPE_HAL);
        EXPECT_EQ(c.focus, kWindow);
        EXPECT_EQ(c.behaviour, DWORD{ D3DCREATE_HARDWARE_VERTEXPROCESSING });
    }
}

TEST_F(Device, EveryCreateFailingLeavesNoDevice)
{
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true);
    fake.AddMode(D3DFMT_R5G6B5, 60, true, true);
    fake.failingCreates = 2;
    EXPECT_FALSE(CreateDeviceFromModes(kWindow));
    EXPECT_EQ(fake.creates.size(), 2u);
    EXPECT_EQ(g_device, nullptr);  // not the junk the failing driver wrote
}

TEST_F(Device, WithoutHardwareTnLEveryCandidateUsesSoftwareVertexProcessing)
{
    fake.hardwareTnL = false;
    fake.AddMode(D3DFMT_R5G6B5, 60, false, true);
    fake.AddMode(D3DFMT_X8R8G8B8, 75, true, true);
    fake.AddMode(D3DFMT_X8R8G8B8, 60, true, true);

    ModeCandidate* list = BuildModeCandidates();
    ASSERT_NE(list, nullptr);
    const int32_t keys[] = {
        static_cast<int32_t>(0x80000000u | 1u << 16 | 22u << 8 | 60u),
        static_cast<int32_t>(0x80000000u | 1u << 16 | 22u << 8 | 75u),
        static_cast<int32_t>(0x80000000u | 2u << 16 | 23u << 8 | 60u),
    };
    int n = 0;
    for (ModeCandidate* c = list; c; c = c->next, n++) {
        ASSERT_LT(n, 3);
        EXPECT_EQ(c->sortKey, keys[n]);
        EXPECT_EQ(c->behaviourFlags, uint32_t{ D3DCREATE_SOFTWARE_VERTEXPROCESSING });
        EXPECT_EQ(c->width, 640u);
        EXPECT_EQ(c->height, 480u);
    }
    EXPECT_EQ(n, 3);
    FreeModeCandidates(list);

    ExpectOrder(Order(), {
        { D3DFMT_X8R8G8B8, 60, D3DFMT_D32 },
        { D3DFMT_X8R8G8B8, 75, D3DFMT_D32 },
        { D3DFMT_R5G6B5,   60, D3DFMT_D16 },
    });
    for (auto& c : fake.creates) EXPECT_EQ(c.behaviour, DWORD{ D3DCREATE_SOFTWARE_VERTEXPROCESSING });
}

}  // namespace
