// The GLU calls Frimel makes, for the browser: cones as instances for the graphics card to build
// (or through our own immediate mode, the way every other shape goes), the camera
// matrices, and the base level of a mipmapped texture (the program samples nothing else).

#include <GL/gl.h>
#include <GL/glu.h>
#include <emscripten.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "web/bridge/gl_entry.h"
#include "web/device/webgl_device.h"
#include "web/pipeline/cone_instances.h"
#include "web/pipeline/glu_shapes.h"

// Only filled quadrics are drawn, the only kind the program makes.
class GLUquadric {
public:
    bool textured = false;
};

extern "C" {

GLUquadric* gluNewQuadric() { return new GLUquadric(); }

void gluDeleteQuadric(GLUquadric* quadric) { delete quadric; }

void gluQuadricDrawStyle(GLUquadric*, GLenum) {}

void gluQuadricTexture(GLUquadric* quadric, GLboolean textured) { quadric->textured = textured != GL_FALSE; }

void gluCylinder(GLUquadric* quadric, GLdouble base, GLdouble top, GLdouble height, GLint slices,
                 GLint stacks) {
    const bool textured = quadric->textured;
    fixedgl::FixedState& gl = webgl::glState();
    if (webgl::settleConeWay() && fixedgl::instanceable(gl, base, top, height, slices, stacks)) {
        webgl::drawList().addCone(gl, base, top, height, textured);
        fixedgl::leaveConeAttributes(gl, base, top, height, textured);
        webgl::drawIfFull();
        return;
    }
    static std::vector<fixedgl::CylinderVertex> vertices;  // kept: a frame draws thousands of cones
    const int strips = fixedgl::cylinderStrips(base, top, height, slices, stacks, textured, vertices);
    const std::size_t perStrip = strips > 0 ? vertices.size() / static_cast<std::size_t>(strips) : 0;
    for (std::size_t first = 0; first < vertices.size(); first += perStrip) {
        glBegin(GL_QUAD_STRIP);
        for (std::size_t i = first; i < first + perStrip; ++i) {
            const fixedgl::CylinderVertex& v = vertices[i];
            glNormal3f(v.normal[0], v.normal[1], v.normal[2]);
            if (textured) glTexCoord2f(v.texCoord[0], v.texCoord[1]);
            glVertex3f(v.position[0], v.position[1], v.position[2]);
        }
        glEnd();
    }
}

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
    webgl::glState().multMatrix(fixedgl::perspectiveMatrix(fovy, aspect, zNear, zFar));
}

void gluLookAt(GLdouble eyeX, GLdouble eyeY, GLdouble eyeZ, GLdouble centreX, GLdouble centreY,
               GLdouble centreZ, GLdouble upX, GLdouble upY, GLdouble upZ) {
    webgl::glState().multMatrix(
        fixedgl::lookAtMatrix(eyeX, eyeY, eyeZ, centreX, centreY, centreZ, upX, upY, upZ));
}

// Frimel's textures are RGB bytes with rows padded to 4 bytes; the base level comes back packed.
GLint gluBuild2DMipmaps(GLenum target, GLint internalFormat, GLsizei width, GLsizei height,
                        GLenum format, GLenum type, const void* data) {
    if (target != GL_TEXTURE_2D || format != GL_RGB || type != GL_UNSIGNED_BYTE) return GLU_INVALID_ENUM;
    if (width < 1 || height < 1) return GLU_INVALID_VALUE;
    int baseWidth = 0;
    int baseHeight = 0;
    const std::vector<uint8_t> base = fixedgl::mipmapBaseLevel(
        width, height, static_cast<const uint8_t*>(data), &baseWidth, &baseHeight);
    webgl::drawPending();
    webgl::uploadTexture(webgl::glState().raster().texture, 0, internalFormat, baseWidth, baseHeight,
                         format, type, base.data(), 1);
    // Frimel builds its mipmaps only at start-up, straight from main: main goes back to the
    // browser after each, so that no task of the start holds up the page long.
    emscripten_sleep(0);
    return 0;
}

}  // extern "C"
