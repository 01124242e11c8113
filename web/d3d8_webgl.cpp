// web/d3d8_webgl.cpp -- the show's part of Direct3D 8 over WebGL 2, for the browser build.
// One device on the page's 640 x 480 canvas. The fixed-function stages the show sets are one small
// shader pair: pre-transformed or world-view-projection positions, the diffuse colour (white when
// the vertices carry none), and stage 0 as "diffuse" without a texture, or texture times diffuse
// with the alpha either the texture's (SELECTARG1) or the product (MODULATE). Textures keep a copy
// in their Direct3D format, so locking works as on Windows; DXT1 goes to the GPU only where the
// browser has S3TC, and is refused otherwise, so the show decodes it itself. Main thread only.
#include <d3d8.h>

#include <GLES3/gl3.h>
#include <emscripten/html5.h>

#include <cstdlib>
#include <cstring>

#include "web/web.h"

namespace {

const int kWidth = 640;
const int kHeight = 480;

const float kCentreNdc = 2.0f * (0.5f - 1.0f / 8.0f);  // the shader's kCentre, as a viewport fraction x size

enum { STAGE_DIFFUSE = 0, STAGE_SELECT = 1, STAGE_MODULATE = 2 };

struct DeviceState {
    EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context;
    bool     s3tc;              // the browser takes DXT1 blocks
    GLuint   program;
    GLint    uRhw, uWvp, uHalf, uMode, uTex;
    GLuint   vao;
    GLuint   streamBuffer;      // DrawPrimitiveUP's vertices
    GLuint   white;             // not drawn with: keeps a texture unit valid while none is set
    // Direct3D state
    DWORD    fvf;
    bool     zEnable, zWrite, blend;
    DWORD    srcBlend, destBlend, cull;
    DWORD    alphaOp, addressU, addressV, magFilter, minFilter;
    IDirect3DTexture8*      texture;
    IDirect3DVertexBuffer8* stream;
    UINT                    stride;
    IDirect3DIndexBuffer8*  indices;
    D3DVIEWPORT8 viewport;
    D3DMATRIX world, view, projection;
};

DeviceState g_gl;
IDirect3D8 g_d3dObject;
IDirect3DDevice8 g_deviceObject;

const char* const kVertexShader = R"(#version 300 es
layout(location = 0) in vec4 a_position;
layout(location = 1) in vec4 a_diffuse;
layout(location = 2) in vec2 a_uv;
uniform bool u_rhw;
uniform mat4 u_wvp;
uniform vec2 u_half;
out vec4 v_diffuse;
// Direct3D's pixel centres lie on whole numbers, GL's on halves. An eighth of a pixel less than half
// keeps an edge through pixel centres on the side Direct3D's fill rule puts it, whichever way up the
// browser's rasteriser counts rows and at the coarsest sub-pixel grid rasterisers use (1/16), and a
// point sample on a texel boundary on the texel Direct3D takes.
const float kCentre = 0.5 - 1.0 / 8.0;
out vec2 v_uv;
void main() {
    if (u_rhw) {
        // Screen pixels with Direct3D's pixel centres on whole numbers.
        float w = 1.0 / a_position.w;
        gl_Position = vec4(((a_position.x + kCentre) / 320.0 - 1.0) * w, (1.0 - (a_position.y + kCentre) / 240.0) * w,
                           (a_position.z * 2.0 - 1.0) * w, w);
    } else {
        vec4 p = u_wvp * vec4(a_position.xyz, 1.0);
        gl_Position = vec4(p.xy + u_half * p.w, 2.0 * p.z - p.w, p.w);
    }
    v_diffuse = a_diffuse.bgra;
    v_uv = a_uv;
    gl_PointSize = 1.0;
}
)";

const char* const kFragmentShader = R"(#version 300 es
precision highp float;
uniform sampler2D u_tex;
uniform int u_mode;
in vec4 v_diffuse;
in vec2 v_uv;
out vec4 o_colour;
// The vertex shader moved the geometry kCentre less than GL's half pixel (see there), so GL's pixel
// centre lies that much right of and below the one Direct3D samples at: the colour and the texture
// are read where Direct3D reads them. A quad whose corners lie on texel edges then spreads each
// texel over two pixels, and a one-pixel strip shaded from one colour to another takes its top
// edge's, as there. (GL counts rows upwards, so down the screen is minus dFdy.)
const float kBehind = 0.5 - (0.5 - 1.0 / 8.0);
void main() {
    vec4 diffuse = v_diffuse - kBehind * (dFdx(v_diffuse) - dFdy(v_diffuse));
    if (u_mode == 0) {
        o_colour = diffuse;
    } else {
        vec4 t = texture(u_tex, v_uv - kBehind * (dFdx(v_uv) - dFdy(v_uv)));
        o_colour = vec4(t.rgb * diffuse.rgb, u_mode == 2 ? t.a * diffuse.a : t.a);
    }
}
)";

GLuint Compile(GLenum kind, const char* source)
{
    GLuint shader = glCreateShader(kind);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) web_fail("shader does not compile");
    return shader;
}

void Identity(D3DMATRIX* m)
{
    std::memset(m, 0, sizeof *m);
    for (int i = 0; i < 4; i++) m->m[i][i] = 1.0f;
}

// row-vector Direct3D product a x b
void Multiply(D3DMATRIX* out, const D3DMATRIX& a, const D3DMATRIX& b)
{
    D3DMATRIX r;
    for (int i = 0; i < 4; i++)
        for (int j = 0; j < 4; j++) {
            float s = 0.0f;
            for (int k = 0; k < 4; k++) s += a.m[i][k] * b.m[k][j];
            r.m[i][j] = s;
        }
    *out = r;
}

GLenum BlendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    }
    web_fail("blend factor");
    return GL_ONE;
}

GLenum Primitive(D3DPRIMITIVETYPE type, UINT count, GLsizei* vertices)
{
    switch (type) {
    case D3DPT_POINTLIST: *vertices = static_cast<GLsizei>(count); return GL_POINTS;
    case D3DPT_TRIANGLELIST: *vertices = static_cast<GLsizei>(3 * count); return GL_TRIANGLES;
    case D3DPT_TRIANGLESTRIP: *vertices = static_cast<GLsizei>(count + 2); return GL_TRIANGLE_STRIP;
    }
    web_fail("primitive type");
    *vertices = 0;
    return GL_POINTS;
}

// The viewport as a GL rectangle (rows counted from the bottom).
void ViewportRect(GLint* x, GLint* y, GLsizei* w, GLsizei* h)
{
    const D3DVIEWPORT8& v = g_gl.viewport;
    *x = static_cast<GLint>(v.X);
    *y = static_cast<GLint>(kHeight - static_cast<int>(v.Y + v.Height));
    *w = static_cast<GLsizei>(v.Width);
    *h = static_cast<GLsizei>(v.Height);
}

void Upload(IDirect3DTexture8* t)
{
    if (!t->gl || t->dirty.right <= t->dirty.left) return;
    glBindTexture(GL_TEXTURE_2D, t->gl);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
    const LONG top = t->dirty.top, rows = t->dirty.bottom - t->dirty.top;
    const uint8_t* src = t->bits + static_cast<size_t>(top) * t->width * 2;
    if (t->format == D3DFMT_R5G6B5) {
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, top, t->width, rows, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, src);
    } else {
        // A4R4G4B4 holds alpha in the top bits; GL's 4-4-4-4 wants it in the bottom ones.
        size_t n = static_cast<size_t>(rows) * t->width;
        uint16_t* rgba = static_cast<uint16_t*>(std::malloc(n * 2));
        const uint16_t* argb = reinterpret_cast<const uint16_t*>(src);
        for (size_t i = 0; i < n; i++) rgba[i] = static_cast<uint16_t>(argb[i] << 4 | argb[i] >> 12);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, top, t->width, rows, GL_RGBA, GL_UNSIGNED_SHORT_4_4_4_4, rgba);
        std::free(rgba);
    }
    t->dirty = RECT{0, 0, 0, 0};
}

// Everything a draw needs from the Direct3D state; `vertices` is the GL buffer bound for the stream.
void Prepare(GLuint vertices, UINT stride)
{
    WEB_REQUIRE(g_gl.fvf == (D3DFVF_XYZRHW | D3DFVF_DIFFUSE) || g_gl.fvf == (D3DFVF_XYZRHW | D3DFVF_TEX1) ||
                    g_gl.fvf == (D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1) || g_gl.fvf == (D3DFVF_XYZ | D3DFVF_TEX1),
                "vertex format");
    const bool rhw = (g_gl.fvf & D3DFVF_XYZRHW) != 0;
    glUseProgram(g_gl.program);
    glBindVertexArray(g_gl.vao);
    glBindBuffer(GL_ARRAY_BUFFER, vertices);
    GLsizei offset = 0;
    glVertexAttribPointer(0, rhw ? 4 : 3, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), reinterpret_cast<void*>(0));
    offset = rhw ? 16 : 12;
    if (g_gl.fvf & D3DFVF_DIFFUSE) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, static_cast<GLsizei>(stride), reinterpret_cast<void*>(offset));
        offset += 4;
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // no diffuse in the vertices: white
    }
    if (g_gl.fvf & D3DFVF_TEX1) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, static_cast<GLsizei>(stride), reinterpret_cast<void*>(offset));
    } else {
        glDisableVertexAttribArray(2);
        glVertexAttrib2f(2, 0.0f, 0.0f);
    }

    GLint x, y;
    GLsizei w, h;
    ViewportRect(&x, &y, &w, &h);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);  // pre-transformed vertices keep screen coordinates: the viewport only clips
    glUniform1i(g_gl.uRhw, rhw);
    if (rhw) {
        glViewport(0, 0, kWidth, kHeight);
        glDepthRangef(0.0f, 1.0f);
    } else {
        glViewport(x, y, w, h);
        glDepthRangef(g_gl.viewport.MinZ, g_gl.viewport.MaxZ);
        D3DMATRIX wvp;
        Multiply(&wvp, g_gl.world, g_gl.view);
        Multiply(&wvp, wvp, g_gl.projection);
        glUniformMatrix4fv(g_gl.uWvp, 1, GL_FALSE, &wvp.m[0][0]);  // row vectors read as columns
        glUniform2f(g_gl.uHalf, kCentreNdc / static_cast<float>(w), -kCentreNdc / static_cast<float>(h));
    }

    if (g_gl.zEnable) glEnable(GL_DEPTH_TEST); else glDisable(GL_DEPTH_TEST);
    glDepthMask(g_gl.zWrite ? GL_TRUE : GL_FALSE);
    if (g_gl.blend) {
        glEnable(GL_BLEND);
        glBlendFunc(BlendFactor(g_gl.srcBlend), BlendFactor(g_gl.destBlend));
    } else {
        glDisable(GL_BLEND);
    }
    // Direct3D's front faces wind clockwise on the screen, and so do GL's here (glFrontFace).
    if (g_gl.cull == D3DCULL_NONE) {
        glDisable(GL_CULL_FACE);
    } else {
        glEnable(GL_CULL_FACE);
        glCullFace(g_gl.cull == D3DCULL_CW ? GL_FRONT : GL_BACK);
    }

    IDirect3DTexture8* t = g_gl.texture;
    glActiveTexture(GL_TEXTURE0);
    if (!t) {
        glBindTexture(GL_TEXTURE_2D, g_gl.white);
        glUniform1i(g_gl.uMode, STAGE_DIFFUSE);
        return;
    }
    WEB_REQUIRE(t->gl != 0, "drawing with a system-memory texture");
    Upload(t);
    glBindTexture(GL_TEXTURE_2D, t->gl);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, g_gl.magFilter == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, g_gl.minFilter == D3DTEXF_POINT ? GL_NEAREST : GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, g_gl.addressU == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, g_gl.addressV == D3DTADDRESS_CLAMP ? GL_CLAMP_TO_EDGE : GL_REPEAT);
    glUniform1i(g_gl.uMode, g_gl.alphaOp == D3DTOP_MODULATE ? STAGE_MODULATE : STAGE_SELECT);
}

void UploadBuffer(GLenum target, GLuint buffer, const uint8_t* data, UINT bytes, bool* dirty)
{
    if (!*dirty) return;
    glBindBuffer(target, buffer);
    glBufferData(target, bytes, data, GL_DYNAMIC_DRAW);
    *dirty = false;
}

}  // namespace

// ---- the Direct3D object: one adapter with one 640 x 480 mode --------------------------------

IDirect3D8* Direct3DCreate8(UINT)
{
    return &g_d3dObject;
}

ULONG IDirect3D8::Release() { return 0; }
UINT IDirect3D8::GetAdapterModeCount(UINT) { return 1; }

HRESULT IDirect3D8::EnumAdapterModes(UINT, UINT mode, D3DDISPLAYMODE* out)
{
    if (mode != 0) return D3DERR_INVALIDCALL;
    *out = D3DDISPLAYMODE{kWidth, kHeight, 60, D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT IDirect3D8::CheckDeviceType(UINT, D3DDEVTYPE, D3DFORMAT display, D3DFORMAT, BOOL)
{
    return display == D3DFMT_X8R8G8B8 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D8::CheckDeviceFormat(UINT, D3DDEVTYPE, D3DFORMAT, DWORD usage, D3DRESOURCETYPE, D3DFORMAT format)
{
    // The canvas's depth buffer is at least 16 bits, so D16 is the honest answer.
    return usage == D3DUSAGE_DEPTHSTENCIL && format == D3DFMT_D16 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D8::CheckDepthStencilMatch(UINT, D3DDEVTYPE, D3DFORMAT, D3DFORMAT, D3DFORMAT depth)
{
    return depth == D3DFMT_D16 ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT IDirect3D8::GetDeviceCaps(UINT, D3DDEVTYPE, D3DCAPS8* caps)
{
    return g_deviceObject.GetDeviceCaps(caps);
}

HRESULT IDirect3D8::CreateDevice(UINT, D3DDEVTYPE, HWND, DWORD, D3DPRESENT_PARAMETERS* pp, IDirect3DDevice8** device)
{
    WEB_REQUIRE(pp->BackBufferWidth == kWidth && pp->BackBufferHeight == kHeight, "back buffer size");
    EmscriptenWebGLContextAttributes attrs;
    emscripten_webgl_init_context_attributes(&attrs);
    attrs.alpha = false;
    attrs.depth = true;
    attrs.antialias = false;
    attrs.majorVersion = 2;
    attrs.minorVersion = 0;
    g_gl.context = emscripten_webgl_create_context("#screen", &attrs);
    if (g_gl.context <= 0 || emscripten_webgl_make_context_current(g_gl.context) != EMSCRIPTEN_RESULT_SUCCESS)
        return D3DERR_NOTAVAILABLE;
    g_gl.s3tc = emscripten_webgl_enable_extension(g_gl.context, "WEBGL_compressed_texture_s3tc");

    g_gl.program = glCreateProgram();
    GLuint vs = Compile(GL_VERTEX_SHADER, kVertexShader), fs = Compile(GL_FRAGMENT_SHADER, kFragmentShader);
    glAttachShader(g_gl.program, vs);
    glAttachShader(g_gl.program, fs);
    glLinkProgram(g_gl.program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    g_gl.uRhw = glGetUniformLocation(g_gl.program, "u_rhw");
    g_gl.uWvp = glGetUniformLocation(g_gl.program, "u_wvp");
    g_gl.uHalf = glGetUniformLocation(g_gl.program, "u_half");
    g_gl.uMode = glGetUniformLocation(g_gl.program, "u_mode");
    g_gl.uTex = glGetUniformLocation(g_gl.program, "u_tex");
    glUseProgram(g_gl.program);
    glUniform1i(g_gl.uTex, 0);
    glGenVertexArrays(1, &g_gl.vao);
    glBindVertexArray(g_gl.vao);
    glEnableVertexAttribArray(0);
    glGenBuffers(1, &g_gl.streamBuffer);
    glGenTextures(1, &g_gl.white);
    glBindTexture(GL_TEXTURE_2D, g_gl.white);
    const uint8_t white[4] = {255, 255, 255, 255};
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);

    // Direct3D's defaults for the states the show uses.
    g_gl.fvf = 0;
    g_gl.zEnable = true;
    g_gl.zWrite = true;
    g_gl.blend = false;
    g_gl.srcBlend = D3DBLEND_ONE;
    g_gl.destBlend = 1;  // D3DBLEND_ZERO: never drawn with, as the show sets both before blending
    g_gl.cull = D3DCULL_CCW;
    g_gl.alphaOp = D3DTOP_SELECTARG1;
    g_gl.addressU = g_gl.addressV = D3DTADDRESS_WRAP;
    g_gl.magFilter = g_gl.minFilter = D3DTEXF_POINT;
    g_gl.viewport = D3DVIEWPORT8{0, 0, kWidth, kHeight, 0.0f, 1.0f};
    Identity(&g_gl.world);
    Identity(&g_gl.view);
    Identity(&g_gl.projection);
    glDepthFunc(GL_LEQUAL);
    glFrontFace(GL_CW);
    *device = &g_deviceObject;
    return D3D_OK;
}

// ---- the device ---------------------------------------------------------------------------------

ULONG IDirect3DDevice8::Release()
{
    if (!g_gl.context) return 0;
    glDeleteProgram(g_gl.program);
    glDeleteVertexArrays(1, &g_gl.vao);
    glDeleteBuffers(1, &g_gl.streamBuffer);
    glDeleteTextures(1, &g_gl.white);
    emscripten_webgl_make_context_current(0);
    emscripten_webgl_destroy_context(g_gl.context);
    g_gl = DeviceState{};
    return 0;
}

HRESULT IDirect3DDevice8::GetDeviceCaps(D3DCAPS8* caps)
{
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->MaxTextureWidth = caps->MaxTextureHeight = 2048;  // WebGL 2 guarantees at least this
    return D3D_OK;
}

HRESULT IDirect3DDevice8::Clear(DWORD count, const void* rects, DWORD flags, DWORD colour, float z, DWORD)
{
    WEB_REQUIRE(count == 0 && !rects, "clearing rectangles");
    GLint x, y;
    GLsizei w, h;
    ViewportRect(&x, &y, &w, &h);
    glEnable(GL_SCISSOR_TEST);
    glScissor(x, y, w, h);
    glClearColor(((colour >> 16) & 255) / 255.0f, ((colour >> 8) & 255) / 255.0f, (colour & 255) / 255.0f, 1.0f);
    glClearDepthf(z);
    glDepthMask(GL_TRUE);
    glClear(((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) | ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0));
    return D3D_OK;
}

HRESULT IDirect3DDevice8::BeginScene() { return D3D_OK; }
HRESULT IDirect3DDevice8::EndScene() { return D3D_OK; }

HRESULT IDirect3DDevice8::Present(const RECT*, const RECT*, HWND, const void*)
{
    // The browser shows the canvas when the frame's script returns: the audio loop gets its poll,
    // then the program sleeps until the next animation frame.
    WebAudioPoll();
    web_wait_frame();
    return D3D_OK;
}

HRESULT IDirect3DDevice8::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                                        D3DPOOL pool, IDirect3DTexture8** texture)
{
    *texture = nullptr;
    WEB_REQUIRE(levels == 1 && usage == 0, "texture levels or usage");
    const bool dxt1 = format == D3DFMT_DXT1;
    if (!dxt1 && format != D3DFMT_R5G6B5 && format != D3DFMT_A4R4G4B4) {
        web_fail("texture format");
        return D3DERR_INVALIDCALL;
    }
    if (dxt1 && !g_gl.s3tc) return D3DERR_NOTAVAILABLE;  // the show decodes the blocks itself
    IDirect3DTexture8* t = static_cast<IDirect3DTexture8*>(std::calloc(1, sizeof(IDirect3DTexture8)));
    t->refs = 1;
    t->width = width;
    t->height = height;
    t->format = format;
    t->pool = pool;
    t->level.owner = t;
    t->bits = static_cast<uint8_t*>(std::calloc(dxt1 ? width * height / 2 : width * height * 2, 1));
    if (pool != D3DPOOL_SYSTEMMEM) {
        glGenTextures(1, &t->gl);
        glBindTexture(GL_TEXTURE_2D, t->gl);
        if (!dxt1) {
            glTexStorage2D(GL_TEXTURE_2D, 1, format == D3DFMT_R5G6B5 ? GL_RGB565 : GL_RGBA4, width, height);
            t->dirty = RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
        }
    }
    *texture = t;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::CreateVertexBuffer(UINT bytes, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8** buffer)
{
    IDirect3DVertexBuffer8* b = static_cast<IDirect3DVertexBuffer8*>(std::calloc(1, sizeof *b));
    b->bytes = bytes;
    b->data = static_cast<uint8_t*>(std::calloc(bytes, 1));
    glGenBuffers(1, &b->gl);
    *buffer = b;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::CreateIndexBuffer(UINT bytes, DWORD, D3DFORMAT format, D3DPOOL, IDirect3DIndexBuffer8** buffer)
{
    WEB_REQUIRE(format == D3DFMT_INDEX16, "index format");
    IDirect3DIndexBuffer8* b = static_cast<IDirect3DIndexBuffer8*>(std::calloc(1, sizeof *b));
    b->bytes = bytes;
    b->data = static_cast<uint8_t*>(std::calloc(bytes, 1));
    glGenBuffers(1, &b->gl);
    *buffer = b;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::UpdateTexture(IDirect3DTexture8* source, IDirect3DTexture8* destination)
{
    WEB_REQUIRE(source->pool == D3DPOOL_SYSTEMMEM && destination->pool == D3DPOOL_DEFAULT &&
                    source->format == destination->format && source->width == destination->width &&
                    source->height == destination->height && source->format != D3DFMT_DXT1,
                "texture update");
    // Only the rows locked since the last update travel, as only the dirty region does on Windows.
    RECT& d = source->dirty;
    if (d.bottom <= d.top) return D3D_OK;
    const size_t row = static_cast<size_t>(source->width) * 2;
    std::memcpy(destination->bits + d.top * row, source->bits + d.top * row, (d.bottom - d.top) * row);
    RECT& e = destination->dirty;
    if (e.bottom <= e.top) e = d;
    else { e.top = e.top < d.top ? e.top : d.top; e.bottom = e.bottom > d.bottom ? e.bottom : d.bottom; }
    e.left = 0;
    e.right = static_cast<LONG>(destination->width);
    d = RECT{0, 0, 0, 0};
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    switch (state) {
    case D3DRS_ZENABLE: g_gl.zEnable = value != 0; break;
    case D3DRS_ZWRITEENABLE: g_gl.zWrite = value != 0; break;
    case D3DRS_ALPHABLENDENABLE: g_gl.blend = value != 0; break;
    case D3DRS_SRCBLEND: g_gl.srcBlend = value; BlendFactor(value); break;
    case D3DRS_DESTBLEND: g_gl.destBlend = value; BlendFactor(value); break;
    case D3DRS_CULLMODE:
        WEB_REQUIRE(value == D3DCULL_NONE || value == D3DCULL_CW || value == D3DCULL_CCW, "cull mode");
        g_gl.cull = value;
        break;
    case D3DRS_ZFUNC: WEB_REQUIRE(value == D3DCMP_LESSEQUAL, "depth function"); break;
    case D3DRS_LIGHTING: WEB_REQUIRE(value == FALSE, "lighting"); break;
    // Flat shading changes only the diffuse colour, and the one flat draw (the globe) has none.
    case D3DRS_SHADEMODE: WEB_REQUIRE(value == D3DSHADE_FLAT || value == D3DSHADE_GOURAUD, "shade mode"); break;
    default: web_fail("render state"); return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value)
{
    WEB_REQUIRE(stage == 0, "texture stage");
    switch (state) {
    case D3DTSS_ALPHAOP:
        WEB_REQUIRE(value == D3DTOP_SELECTARG1 || value == D3DTOP_MODULATE, "alpha operation");
        g_gl.alphaOp = value;
        break;
    case D3DTSS_ADDRESSU: g_gl.addressU = value; break;
    case D3DTSS_ADDRESSV: g_gl.addressV = value; break;
    case D3DTSS_MAGFILTER: g_gl.magFilter = value; break;
    case D3DTSS_MINFILTER: g_gl.minFilter = value; break;
    case D3DTSS_MIPFILTER: break;  // the show's textures have one level
    default: web_fail("texture stage state"); return D3DERR_INVALIDCALL;
    }
    if (state == D3DTSS_ADDRESSU || state == D3DTSS_ADDRESSV)
        WEB_REQUIRE(value == D3DTADDRESS_WRAP || value == D3DTADDRESS_CLAMP, "address mode");
    if (state == D3DTSS_MAGFILTER || state == D3DTSS_MINFILTER || state == D3DTSS_MIPFILTER)
        WEB_REQUIRE(value == D3DTEXF_POINT || value == D3DTEXF_LINEAR, "filter");
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetTexture(DWORD stage, IDirect3DTexture8* texture)
{
    WEB_REQUIRE(stage == 0, "texture stage");
    g_gl.texture = texture;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix)
{
    switch (state) {
    case D3DTS_WORLD: g_gl.world = *matrix; break;
    case D3DTS_VIEW: g_gl.view = *matrix; break;
    case D3DTS_PROJECTION: g_gl.projection = *matrix; break;
    default: web_fail("transform"); return D3DERR_INVALIDCALL;
    }
    return D3D_OK;
}

HRESULT IDirect3DDevice8::GetViewport(D3DVIEWPORT8* viewport)
{
    *viewport = g_gl.viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetViewport(const D3DVIEWPORT8* viewport)
{
    WEB_REQUIRE(viewport->X + viewport->Width <= kWidth && viewport->Y + viewport->Height <= kHeight, "viewport");
    g_gl.viewport = *viewport;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetVertexShader(DWORD fvf)
{
    g_gl.fvf = fvf;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetStreamSource(UINT stream, IDirect3DVertexBuffer8* buffer, UINT stride)
{
    WEB_REQUIRE(stream == 0, "vertex stream");
    g_gl.stream = buffer;
    g_gl.stride = stride;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::SetIndices(IDirect3DIndexBuffer8* buffer, UINT baseVertex)
{
    WEB_REQUIRE(baseVertex == 0, "base vertex");
    g_gl.indices = buffer;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::DrawPrimitive(D3DPRIMITIVETYPE type, UINT start, UINT count)
{
    IDirect3DVertexBuffer8* b = g_gl.stream;
    if (!b) return D3DERR_INVALIDCALL;
    UploadBuffer(GL_ARRAY_BUFFER, b->gl, b->data, b->bytes, &b->dirty);
    GLsizei n;
    GLenum mode = Primitive(type, count, &n);
    Prepare(b->gl, g_gl.stride);
    glDrawArrays(mode, static_cast<GLint>(start), n);
    return D3D_OK;
}

HRESULT IDirect3DDevice8::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT count, const void* vertices, UINT stride)
{
    GLsizei n;
    GLenum mode = Primitive(type, count, &n);
    glBindBuffer(GL_ARRAY_BUFFER, g_gl.streamBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(n) * stride, vertices, GL_STREAM_DRAW);
    Prepare(g_gl.streamBuffer, stride);
    glDrawArrays(mode, 0, n);
    // As in Direct3D 8, a drawing from user memory leaves no stream source behind.
    g_gl.stream = nullptr;
    return D3D_OK;
}

HRESULT IDirect3DDevice8::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, UINT, UINT, UINT startIndex, UINT count)
{
    IDirect3DVertexBuffer8* b = g_gl.stream;
    IDirect3DIndexBuffer8* ib = g_gl.indices;
    if (!b || !ib) return D3DERR_INVALIDCALL;
    UploadBuffer(GL_ARRAY_BUFFER, b->gl, b->data, b->bytes, &b->dirty);
    GLsizei n;
    GLenum mode = Primitive(type, count, &n);
    Prepare(b->gl, g_gl.stride);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, ib->gl);
    if (ib->dirty) {
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, ib->bytes, ib->data, GL_STATIC_DRAW);
        ib->dirty = false;
    }
    glDrawElements(mode, n, GL_UNSIGNED_SHORT, reinterpret_cast<void*>(static_cast<uintptr_t>(startIndex) * 2));
    return D3D_OK;
}

// ---- textures, surfaces, buffers ---------------------------------------------------------------

ULONG IDirect3DTexture8::Release()
{
    if (--refs > 0) return refs;
    if (gl) glDeleteTextures(1, &gl);
    if (g_gl.texture == this) g_gl.texture = nullptr;
    std::free(bits);
    std::free(this);
    return 0;
}

DWORD IDirect3DTexture8::GetLevelCount() { return 1; }

HRESULT IDirect3DTexture8::GetSurfaceLevel(UINT index, IDirect3DSurface8** surface)
{
    if (index != 0) return D3DERR_INVALIDCALL;
    refs++;
    *surface = &level;
    return D3D_OK;
}

HRESULT IDirect3DTexture8::LockRect(UINT index, D3DLOCKED_RECT* locked, const RECT* rect, DWORD)
{
    if (index != 0) return D3DERR_INVALIDCALL;
    WEB_REQUIRE(pool != D3DPOOL_DEFAULT, "locking a default-pool texture");
    RECT r = rect ? *rect : RECT{0, 0, static_cast<LONG>(width), static_cast<LONG>(height)};
    if (format == D3DFMT_DXT1) {
        WEB_REQUIRE(!rect, "locking part of a DXT1 texture");
        locked->Pitch = static_cast<INT>(width * 2);  // one row of 4 x 4 blocks
        locked->pBits = bits;
    } else {
        locked->Pitch = static_cast<INT>(width * 2);
        locked->pBits = bits + (static_cast<size_t>(r.top) * width + r.left) * 2;
    }
    if (dirty.bottom <= dirty.top) {
        dirty = r;
    } else {
        if (r.top < dirty.top) dirty.top = r.top;
        if (r.bottom > dirty.bottom) dirty.bottom = r.bottom;
        if (r.left < dirty.left) dirty.left = r.left;
        if (r.right > dirty.right) dirty.right = r.right;
    }
    return D3D_OK;
}

HRESULT IDirect3DTexture8::UnlockRect(UINT index)
{
    if (index != 0) return D3DERR_INVALIDCALL;
    if (format == D3DFMT_DXT1 && gl) {
        // The whole surface at once: the show writes DXT1 only when it makes the texture.
        glBindTexture(GL_TEXTURE_2D, gl);
        glCompressedTexImage2D(GL_TEXTURE_2D, 0, 0x83F1 /* COMPRESSED_RGBA_S3TC_DXT1_EXT */, width, height, 0,
                               width * height / 2, bits);
        dirty = RECT{0, 0, 0, 0};
    }
    return D3D_OK;
}

ULONG IDirect3DSurface8::Release() { return owner->Release(); }

HRESULT IDirect3DSurface8::GetDesc(D3DSURFACE_DESC* desc)
{
    std::memset(desc, 0, sizeof *desc);
    desc->Format = owner->format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Pool = owner->pool;
    desc->Width = owner->width;
    desc->Height = owner->height;
    desc->Size = owner->format == D3DFMT_DXT1 ? owner->width * owner->height / 2 : owner->width * owner->height * 2;
    return D3D_OK;
}

HRESULT IDirect3DSurface8::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    return owner->LockRect(0, locked, rect, flags);
}

HRESULT IDirect3DSurface8::UnlockRect() { return owner->UnlockRect(0); }

ULONG IDirect3DVertexBuffer8::Release()
{
    glDeleteBuffers(1, &gl);
    if (g_gl.stream == this) g_gl.stream = nullptr;
    std::free(data);
    std::free(this);
    return 0;
}

HRESULT IDirect3DVertexBuffer8::Lock(UINT offset, UINT size, BYTE** out, DWORD)
{
    if (size == 0 && offset <= bytes) size = bytes - offset;  // 0: to the end
    if (offset > bytes || size > bytes - offset) return D3DERR_INVALIDCALL;
    *out = data + offset;
    dirty = true;
    return D3D_OK;
}

HRESULT IDirect3DVertexBuffer8::Unlock() { return D3D_OK; }

ULONG IDirect3DIndexBuffer8::Release()
{
    glDeleteBuffers(1, &gl);
    if (g_gl.indices == this) g_gl.indices = nullptr;
    std::free(data);
    std::free(this);
    return 0;
}

HRESULT IDirect3DIndexBuffer8::Lock(UINT offset, UINT size, BYTE** out, DWORD)
{
    if (size == 0 && offset <= bytes) size = bytes - offset;  // 0: to the end
    if (offset > bytes || size > bytes - offset) return D3DERR_INVALIDCALL;
    *out = data + offset;
    dirty = true;
    return D3D_OK;
}

HRESULT IDirect3DIndexBuffer8::Unlock() { return D3D_OK; }
