// show/camera.h -- the small vector and matrix operations of the corner globe, and its camera.
// Portable except CameraApply, which hands the view matrix to the device (main_effect_d3d8.cpp).
// Matrices are row-major 4 x 4 floats with row vectors, the layout of D3DMATRIX.
#pragma once

struct Matrix4 {
    float m[4][4];          // m[row][column]; m[3][0..2] is the translation
};

struct Vec3 {
    float x, y, z;
};

struct Camera {
    Vec3    eye;            // world units; the world's z axis points up
    Vec3    target;
    float   roll;           // radians, about the viewing axis
    Matrix4 view;           // written by CameraComputeView / CameraApply
};

// Rows: right, up, back (fourth component 0) and (0, 0, 0, 1). Rewritten by each CameraApply.
extern Matrix4 g_cameraBasis;

extern const Matrix4 g_identityMatrix;

float Vec3Length(const Vec3* v);                         // sqrt(x^2 + y^2 + z^2)
void  Vec3Normalize(Vec3* v);                            // v *= 1 / length
void  Vec3Cross(Vec3* out, const Vec3* a, const Vec3* b);  // out may be a or b

void MatrixMultiply(Matrix4* out, const Matrix4* a, const Matrix4* b);  // out = a x b; out may alias
void RigidInverse(Matrix4* m);          // in place, for rotation + translation; fourth column kept
void RotationFromAngles(Matrix4* m, float a, float b, float c);  // upper-left 3 x 3 only

// The camera's view matrix into camera->view. The right and up vectors are deliberately left
// unnormalised (length 0.970 for the show's camera): the globe is drawn 3 per cent smaller than a
// normalised basis would make it, and that is the size it has always had.
void CameraComputeView(Camera* camera);

// CameraComputeView, then the result as the device's view transform (platform layer).
void CameraApply(Camera* camera);
