#include "web/pipeline/gl_math.h"

#include <cmath>
#include <cstring>

namespace fixedgl {
namespace {
constexpr double kPi = 3.14159265358979323846;

float& at(Mat4& m, int row, int column) { return m.m[column * 4 + row]; }
float at(const Mat4& m, int row, int column) { return m.m[column * 4 + row]; }

void normalize3(float v[3]) {
    const float r = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (r == 0.0f) return;
    v[0] /= r;
    v[1] /= r;
    v[2] /= r;
}

void cross3(const float a[3], const float b[3], float out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}
}  // namespace

Mat4 identityMatrix() {
    Mat4 m{};
    m.m[0] = m.m[5] = m.m[10] = m.m[15] = 1.0f;
    return m;
}

bool affine(const Mat4& m) { return m.m[3] == 0.0f && m.m[7] == 0.0f && m.m[11] == 0.0f && m.m[15] == 1.0f; }

Mat4 multiply(const Mat4& a, const Mat4& b) {
    Mat4 p{};
    // Turns and moves keep the last row 0 0 0 1, and its sums add only zeros to the others: a
    // crystal's thousands of them need only the first three rows worked out.
    if (affine(a) && affine(b)) {
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) {
                at(p, i, j) = at(a, i, 0) * at(b, 0, j) + at(a, i, 1) * at(b, 1, j) + at(a, i, 2) * at(b, 2, j);
            }
            at(p, i, 3) = at(a, i, 0) * at(b, 0, 3) + at(a, i, 1) * at(b, 1, 3) + at(a, i, 2) * at(b, 2, 3) +
                          at(a, i, 3);
        }
        p.m[15] = 1.0f;
        return p;
    }
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            at(p, i, j) = at(a, i, 0) * at(b, 0, j) + at(a, i, 1) * at(b, 1, j) +
                          at(a, i, 2) * at(b, 2, j) + at(a, i, 3) * at(b, 3, j);
        }
    }
    return p;
}

Mat4 fromDoubles(const double m[16]) {
    Mat4 r{};
    for (int i = 0; i < 16; ++i) r.m[i] = static_cast<float>(m[i]);
    return r;
}

Mat4 translationMatrix(float x, float y, float z) {
    Mat4 m = identityMatrix();
    m.m[12] = x;
    m.m[13] = y;
    m.m[14] = z;
    return m;
}

void turnSines(float degrees, float* s, float* c) {
    // A crystal turns by the same few angles thousands of times a frame: their sines are kept.
    struct Turn {
        float degrees = 0.0f, s = 0.0f, c = 1.0f;
    };
    static Turn turns[64];
    unsigned bits = 0;
    std::memcpy(&bits, &degrees, sizeof bits);
    Turn& turn = turns[(bits * 2654435761u) >> 26];  // the angles differ in their high bits
    if (std::memcmp(&turn.degrees, &degrees, sizeof degrees) != 0) {
        turn.degrees = degrees;
        turn.s = std::sin(static_cast<float>(degrees * kPi / 180.0));
        turn.c = std::cos(static_cast<float>(degrees * kPi / 180.0));
    }
    *s = turn.s;
    *c = turn.c;
}

// Rotations about a coordinate axis get exact zeros and ones, as GL builds them; the general
// case uses the unit axis.
Mat4 rotationMatrix(float degrees, float x, float y, float z) {
    float s = 0.0f;
    float c = 1.0f;
    turnSines(degrees, &s, &c);
    Mat4 m = identityMatrix();
    if (x == 0.0f && y == 0.0f && z != 0.0f) {
        at(m, 0, 0) = c;
        at(m, 1, 1) = c;
        at(m, 0, 1) = z < 0.0f ? s : -s;
        at(m, 1, 0) = z < 0.0f ? -s : s;
        return m;
    }
    if (x == 0.0f && z == 0.0f && y != 0.0f) {
        at(m, 0, 0) = c;
        at(m, 2, 2) = c;
        at(m, 0, 2) = y < 0.0f ? -s : s;
        at(m, 2, 0) = y < 0.0f ? s : -s;
        return m;
    }
    if (y == 0.0f && z == 0.0f && x != 0.0f) {
        at(m, 1, 1) = c;
        at(m, 2, 2) = c;
        at(m, 1, 2) = x < 0.0f ? s : -s;
        at(m, 2, 1) = x < 0.0f ? -s : s;
        return m;
    }
    const float mag = std::sqrt(x * x + y * y + z * z);
    if (mag <= 1.0e-4f) return m;  // no usable axis: no rotation
    x /= mag;
    y /= mag;
    z /= mag;
    const float oneC = 1.0f - c;
    at(m, 0, 0) = oneC * x * x + c;
    at(m, 0, 1) = oneC * x * y - z * s;
    at(m, 0, 2) = oneC * z * x + y * s;
    at(m, 1, 0) = oneC * x * y + z * s;
    at(m, 1, 1) = oneC * y * y + c;
    at(m, 1, 2) = oneC * y * z - x * s;
    at(m, 2, 0) = oneC * z * x - y * s;
    at(m, 2, 1) = oneC * y * z + x * s;
    at(m, 2, 2) = oneC * z * z + c;
    return m;
}

Mat4 orthoMatrix(double left, double right, double bottom, double top, double zNear, double zFar) {
    const float l = static_cast<float>(left), r = static_cast<float>(right);
    const float b = static_cast<float>(bottom), t = static_cast<float>(top);
    const float n = static_cast<float>(zNear), f = static_cast<float>(zFar);
    Mat4 m = identityMatrix();
    m.m[0] = 2.0f / (r - l);
    m.m[12] = -(r + l) / (r - l);
    m.m[5] = 2.0f / (t - b);
    m.m[13] = -(t + b) / (t - b);
    m.m[10] = -2.0f / (f - n);
    m.m[14] = -(f + n) / (f - n);
    return m;
}

// Worked in double and handed over as floats, as GLU does; a degenerate request changes nothing.
Mat4 perspectiveMatrix(double fovyDegrees, double aspect, double zNear, double zFar) {
    const double radians = fovyDegrees / 2 * kPi / 180;
    const double deltaZ = zFar - zNear;
    const double sine = std::sin(radians);
    if (deltaZ == 0 || sine == 0 || aspect == 0) return identityMatrix();
    const double cotangent = std::cos(radians) / sine;
    double m[16] = {};
    m[0] = cotangent / aspect;
    m[5] = cotangent;
    m[10] = -(zFar + zNear) / deltaZ;
    m[11] = -1;
    m[14] = -2 * zNear * zFar / deltaZ;
    return fromDoubles(m);
}

Mat4 lookAtMatrix(double eyeX, double eyeY, double eyeZ, double centreX, double centreY,
                  double centreZ, double upX, double upY, double upZ) {
    float forward[3] = {static_cast<float>(centreX - eyeX), static_cast<float>(centreY - eyeY),
                        static_cast<float>(centreZ - eyeZ)};
    float up[3] = {static_cast<float>(upX), static_cast<float>(upY), static_cast<float>(upZ)};
    float side[3];
    normalize3(forward);
    cross3(forward, up, side);
    normalize3(side);
    cross3(side, forward, up);
    Mat4 m = identityMatrix();
    for (int i = 0; i < 3; ++i) {
        at(m, 0, i) = side[i];
        at(m, 1, i) = up[i];
        at(m, 2, i) = -forward[i];
    }
    return multiply(m, translationMatrix(static_cast<float>(-eyeX), static_cast<float>(-eyeY),
                                         static_cast<float>(-eyeZ)));
}

// Normals transform by the inverse transpose: n' = n × M⁻¹ with n as a row. The adjugate and
// determinant are kept; the division comes last, per component.
NormalMatrix normalMatrix(const Mat4& m) {
    double a[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) a[r][c] = at(m, r, c);
    }
    NormalMatrix n;
    double (&inv)[3][3] = n.adjugate;
    inv[0][0] = a[1][1] * a[2][2] - a[1][2] * a[2][1];
    inv[0][1] = a[0][2] * a[2][1] - a[0][1] * a[2][2];
    inv[0][2] = a[0][1] * a[1][2] - a[0][2] * a[1][1];
    inv[1][0] = a[1][2] * a[2][0] - a[1][0] * a[2][2];
    inv[1][1] = a[0][0] * a[2][2] - a[0][2] * a[2][0];
    inv[1][2] = a[0][2] * a[1][0] - a[0][0] * a[1][2];
    inv[2][0] = a[1][0] * a[2][1] - a[1][1] * a[2][0];
    inv[2][1] = a[0][1] * a[2][0] - a[0][0] * a[2][1];
    inv[2][2] = a[0][0] * a[1][1] - a[0][1] * a[1][0];
    n.determinant = a[0][0] * inv[0][0] + a[0][1] * inv[1][0] + a[0][2] * inv[2][0];
    return n;
}

void transformNormal(const NormalMatrix& n, const float normal[3], float out[3]) {
    if (n.determinant == 0.0) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const double (&inv)[3][3] = n.adjugate;
    for (int c = 0; c < 3; ++c) {
        const double sum = normal[0] * inv[0][c] + normal[1] * inv[1][c] + normal[2] * inv[2][c];
        out[c] = static_cast<float>(sum / n.determinant);
    }
}

void transformNormal(const Mat4& m, const float normal[3], float out[3]) {
    transformNormal(normalMatrix(m), normal, out);
}

}  // namespace fixedgl
