#include "support/view_math.h"

#include <algorithm>
#include <cmath>

Matrix4 frimelPerspective(double aspect) {
    const double pi = std::acos(-1.0);
    const double f = 1.0 / std::tan(15.0 * pi / 180.0);
    const double zNear = 1.0, zFar = 15.0;
    Matrix4 m{};
    m[0] = f / aspect;
    m[5] = f;
    m[10] = (zFar + zNear) / (zNear - zFar);
    m[11] = -1.0;
    m[14] = 2.0 * zFar * zNear / (zNear - zFar);
    return m;
}

Matrix4 readGlMatrix(GLenum which) {
    GLfloat values[16];
    glGetFloatv(which, values);
    Matrix4 m;
    std::copy(values, values + 16, m.begin());
    return m;
}

double matrixDistance(const Matrix4& a, const Matrix4& b) {
    double worst = 0.0;
    for (int i = 0; i < 16; ++i) worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}

WindowPosition eyeToWindow(double x, double y, double z, int width, int height) {
    const Matrix4 p = frimelPerspective(static_cast<double>(width) / height);
    const double clipX = p[0] * x, clipY = p[5] * y, clipZ = p[10] * z + p[14], clipW = -z;
    return {(clipX / clipW + 1.0) / 2.0 * width, (clipY / clipW + 1.0) / 2.0 * height,
            (clipZ / clipW + 1.0) / 2.0};
}
