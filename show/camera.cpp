// show/camera.cpp -- vector and matrix arithmetic for the corner globe, and the camera's view matrix.
// Portable; runs on the main thread inside the main effect's frame.
#include "show/camera.h"

#include "base/math.h"

Matrix4 g_cameraBasis = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

const Matrix4 g_identityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

float Vec3Length(const Vec3* v)
{
    float squares = v->x * v->x + v->y * v->y + v->z * v->z;
    return static_cast<float>(Sqrt(squares));
}

void Vec3Normalize(Vec3* v)
{
    float inverse = 1.0f / Vec3Length(v);
    v->x *= inverse;
    v->y *= inverse;
    v->z *= inverse;
}

void Vec3Cross(Vec3* out, const Vec3* a, const Vec3* b)
{
    Vec3 r;
    r.x = a->y * b->z - a->z * b->y;
    r.y = a->z * b->x - a->x * b->z;
    r.z = a->x * b->y - a->y * b->x;
    *out = r;
}

void MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b)
{
    Matrix4 product;  // formed apart so that out may be a or b
    for (int r = 0; r < 4; r++) {
        for (int c = 0; c < 4; c++) {
            product.m[r][c] = a->m[r][0] * b->m[0][c] + a->m[r][1] * b->m[1][c] +
                              a->m[r][2] * b->m[2][c] + a->m[r][3] * b->m[3][c];
        }
    }
    *out = product;
}

void RigidInverse(Matrix4* m)
{
    for (int r = 0; r < 3; r++) {
        for (int c = r + 1; c < 3; c++) {
            float t = m->m[r][c];
            m->m[r][c] = m->m[c][r];
            m->m[c][r] = t;
        }
    }
    float tx = m->m[3][0], ty = m->m[3][1], tz = m->m[3][2];
    for (int c = 0; c < 3; c++) {
        m->m[3][c] = -(tx * m->m[0][c] + ty * m->m[1][c] + tz * m->m[2][c]);
    }
}

void RotationFromAngles(Matrix4* m, float a, float b, float c)
{
    float ca = static_cast<float>(Cos(a)), sa = static_cast<float>(Sin(a));
    float cb = static_cast<float>(Cos(b)), sb = static_cast<float>(Sin(b));
    float cc = static_cast<float>(Cos(c)), sc = static_cast<float>(Sin(c));
    m->m[0][0] = cc * cb;
    m->m[0][1] = sc * cb;
    m->m[0][2] = -sb;
    m->m[1][0] = cc * sb * sa - sc * ca;
    m->m[1][1] = sc * sb * sa + cc * ca;
    m->m[1][2] = cb * sa;
    m->m[2][0] = cc * sb * ca + sc * sa;
    m->m[2][1] = sc * sb * ca - cc * sa;
    m->m[2][2] = cb * ca;
}

void CameraComputeView(Camera* camera)
{
    static const Vec3 worldUp = {0.0f, 0.0f, 1.0f};

    Vec3 back = {camera->eye.x - camera->target.x, camera->eye.y - camera->target.y,
                 camera->eye.z - camera->target.z};
    Vec3Normalize(&back);
    Vec3 right, up;
    Vec3Cross(&right, &worldUp, &back);  // not normalised, see the header
    Vec3Cross(&up, &back, &right);

    Matrix4* basis = &g_cameraBasis;
    basis->m[0][0] = right.x; basis->m[0][1] = right.y; basis->m[0][2] = right.z; basis->m[0][3] = 0.0f;
    basis->m[1][0] = up.x;    basis->m[1][1] = up.y;    basis->m[1][2] = up.z;    basis->m[1][3] = 0.0f;
    basis->m[2][0] = back.x;  basis->m[2][1] = back.y;  basis->m[2][2] = back.z;  basis->m[2][3] = 0.0f;

    float cr = static_cast<float>(Cos(camera->roll)), sr = static_cast<float>(Sin(camera->roll));
    Matrix4* view = &camera->view;
    *view = g_identityMatrix;
    view->m[0][0] = cr;  view->m[0][1] = sr;
    view->m[1][0] = -sr; view->m[1][1] = cr;

    MatrixMultiply(view, view, basis);
    view->m[3][0] = camera->eye.x;
    view->m[3][1] = camera->eye.y;
    view->m[3][2] = camera->eye.z;
    RigidInverse(view);

    // Looking down -z in a left-handed view space: the third column changes sign.
    for (int r = 0; r < 4; r++) view->m[r][2] = -view->m[r][2];
}
