// tests/win/support/test_device.cpp -- see test_device.h. Windows (under Wine) only.
#include "test_device.h"

#include <windows.h>

static HWND              g_testWindow;
static IDirect3D8*       g_testD3D;
static IDirect3DDevice8* g_testDevice;

bool TestDisplayAvailable()
{
    char value[64];
    DWORD n = GetEnvironmentVariableA("QE_TEST_DISPLAY", value, sizeof value);
    return n > 0 && n < sizeof value;
}

bool TestSessionRequired()
{
    char value[512];
    return GetEnvironmentVariableA("CI", value, sizeof value) > 0 ||
           GetEnvironmentVariableA("QE_SESSION_DIR", value, sizeof value) > 0;
}

IDirect3DDevice8* TestDeviceOpen()
{
    if (g_testDevice) return g_testDevice;
    if (!TestDisplayAvailable()) return nullptr;
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "qe_test_device";
    RegisterClassA(&wc);
    g_testWindow = CreateWindowA("qe_test_device", "test device", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                                 wc.hInstance, nullptr);
    if (!g_testWindow) return nullptr;
    g_testD3D = Direct3DCreate8(D3D_SDK_VERSION);
    if (!g_testD3D) { TestDeviceClose(); return nullptr; }
    D3DDISPLAYMODE mode;
    if (FAILED(g_testD3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode))) { TestDeviceClose(); return nullptr; }
    D3DPRESENT_PARAMETERS pp = {};
    pp.Windowed = TRUE;
    pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
    pp.BackBufferFormat = mode.Format;
    pp.BackBufferWidth = 320;
    pp.BackBufferHeight = 240;
    pp.hDeviceWindow = g_testWindow;
    if (FAILED(g_testD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g_testWindow,
                                       D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &g_testDevice))) {
        g_testDevice = nullptr;
        TestDeviceClose();
        return nullptr;
    }
    return g_testDevice;
}

void TestDeviceClose()
{
    if (g_testDevice) { g_testDevice->Release(); g_testDevice = nullptr; }
    if (g_testD3D)    { g_testD3D->Release();    g_testD3D = nullptr; }
    if (g_testWindow) { DestroyWindow(g_testWindow); g_testWindow = nullptr; }
}
