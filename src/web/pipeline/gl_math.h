#pragma once

// Matrices and vectors as OpenGL keeps them: 16 floats, column-major, points as (x, y, z, w).
// The browser has no fixed-function pipeline, so the web build does this arithmetic itself.

namespace fixedgl {

struct Vec4 {
    float x, y, z, w;
};

struct Mat4 {
    float m[16];  // column-major: element (row r, column c) is m[c * 4 + r]
};

Mat4 identityMatrix();
// Whether the last row is 0 0 0 1: no projective part.
bool affine(const Mat4& m);
// a × b: b is applied first, as glMultMatrix multiplies the current matrix on the right.
Mat4 multiply(const Mat4& a, const Mat4& b);
Mat4 fromDoubles(const double m[16]);

// The matrices glTranslatef, glRotatef (degrees about any axis) and glOrtho multiply by.
Mat4 translationMatrix(float x, float y, float z);
Mat4 rotationMatrix(float degrees, float x, float y, float z);
// The sine and cosine glRotatef turns by, in float as rotationMatrix works them out.
void turnSines(float degrees, float* s, float* c);
Mat4 orthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar);
// The matrices gluPerspective and gluLookAt multiply by.
Mat4 perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar);
Mat4 lookAtMatrix(double eyeX, double eyeY, double eyeZ, double centreX, double centreY,
                  double centreZ, double upX, double upY, double upZ);

// m × v. Inline: a frame transforms every corner it sends twice.
inline Vec4 transform(const Mat4& m, Vec4 v) {
    const float* a = m.m;
    return Vec4{a[0] * v.x + a[4] * v.y + a[8] * v.z + a[12] * v.w, a[1] * v.x + a[5] * v.y + a[9] * v.z + a[13] * v.w,
                a[2] * v.x + a[6] * v.y + a[10] * v.z + a[14] * v.w, a[3] * v.x + a[7] * v.y + a[11] * v.z + a[15] * v.w};
}

// Transforms a normal by the inverse transpose of m's upper-left 3 x 3, as the lighting stage
// does; a singular matrix gives the zero vector. The matrix can be worked out once for the many
// normals of a primitive.
struct NormalMatrix {
    double adjugate[3][3];
    double determinant;
};
NormalMatrix normalMatrix(const Mat4& m);
void transformNormal(const NormalMatrix& n, const float normal[3], float out[3]);
void transformNormal(const Mat4& m, const float normal[3], float out[3]);

}  // namespace fixedgl
