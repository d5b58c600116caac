// The OpenGL 1.1 entry points Frimel calls, defined here for the browser: they take precedence
// over emscripten's library of the same names. State goes to the fixed-function state, drawing
// to the draw list, and what reaches the context at once to the device, after the list is drawn.

#include "web/bridge/gl_entry.h"

#include <GL/gl.h>

#include <cstring>

#include "web/device/draw_list_renderer.h"
#include "web/device/webgl_device.h"
#include "web/pipeline/gl_math.h"
#include "web/pipeline/immediate_mode.h"

namespace webgl {
namespace {
fixedgl::FixedState state;
fixedgl::DrawList list;
fixedgl::ImmediateMode immediate;

fixedgl::Mat4 fromFloats(const GLfloat* m) {
    fixedgl::Mat4 out;
    std::memcpy(out.m, m, sizeof out.m);
    return out;
}
}  // namespace

fixedgl::FixedState& glState() { return state; }

fixedgl::DrawList& drawList() { return list; }

void drawPending() { render(list); }

void drawIfFull() {
    if (list.full()) render(list);
}

}  // namespace webgl

using webgl::glState;

extern "C" {

void glBegin(GLenum mode) { webgl::immediate.begin(mode); }
void glEnd() {
    webgl::immediate.end(glState(), webgl::list);
    webgl::drawIfFull();
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { webgl::immediate.vertex(glState(), x, y, z); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) { glState().setNormal(x, y, z); }
void glTexCoord2f(GLfloat s, GLfloat t) { glState().setTexCoord(s, t); }
void glColor3f(GLfloat r, GLfloat g, GLfloat b) { glState().setColour(r, g, b, 1.0f); }

void glMatrixMode(GLenum mode) { glState().setMatrixMode(mode); }
void glLoadIdentity() { glState().loadIdentity(); }
void glPushMatrix() { glState().pushMatrix(); }
void glPopMatrix() { glState().popMatrix(); }
void glTranslatef(GLfloat x, GLfloat y, GLfloat z) { glState().translate(x, y, z); }
void glRotatef(GLfloat degrees, GLfloat x, GLfloat y, GLfloat z) { glState().rotate(degrees, x, y, z); }
void glMultMatrixf(const GLfloat* m) { glState().multMatrix(webgl::fromFloats(m)); }
void glMultMatrixd(const GLdouble* m) { glState().multMatrix(fixedgl::fromDoubles(m)); }

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    glState().multMatrix(fixedgl::orthoMatrix(left, right, bottom, top, zNear, zFar));
}

void glGetFloatv(GLenum pname, GLfloat* params) {
    if (pname == GL_MODELVIEW_MATRIX) {
        std::memcpy(params, glState().modelView().m, sizeof(fixedgl::Mat4::m));
    } else if (pname == GL_PROJECTION_MATRIX) {
        std::memcpy(params, glState().projection().m, sizeof(fixedgl::Mat4::m));
    }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (light == GL_LIGHT0) glState().setLight0(pname, params);
}

// One-sided lighting reads only the front material.
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) glState().setFrontMaterial(pname, params);
}

// Faces are always flat: the program asks for nothing else.
void glShadeModel(GLenum) {}

void glEnable(GLenum capability) { glState().setCapability(capability, true); }
void glDisable(GLenum capability) { glState().setCapability(capability, false); }

void glBindTexture(GLenum target, GLuint texture) {
    if (target == GL_TEXTURE_2D) glState().bindTexture(texture);
}

// Texture changes reach WebGL at once, so what the list holds is drawn first.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    if (target != GL_TEXTURE_2D || border != 0) return;
    webgl::drawPending();
    webgl::uploadTexture(glState().raster().texture, level, internalFormat, width, height, format, type,
                         pixels, 4);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (target != GL_TEXTURE_2D) return;
    webgl::drawPending();
    webgl::setTextureParameter(glState().raster().texture, pname, param);
}

void glTexParameterf(GLenum target, GLenum pname, GLfloat param) {
    glTexParameteri(target, pname, static_cast<GLint>(param));
}

void glBlendFunc(GLenum source, GLenum destination) {
    webgl::drawPending();
    webgl::blendFunction(source, destination);
}

void glClearColor(GLclampf r, GLclampf g, GLclampf b, GLclampf a) { webgl::clearColour(r, g, b, a); }

void glClear(GLbitfield mask) {
    webgl::drawPending();
    webgl::clear(mask);
}

void glViewport(GLint x, GLint y, GLsizei width, GLsizei height) {
    webgl::drawPending();
    glState().setViewport(fixedgl::Viewport{x, y, width, height});
    webgl::viewport(x, y, width, height);
}

void glFlush() { webgl::drawPending(); }

void glFinish() {
    webgl::drawPending();
    webgl::finish();
}

}  // extern "C"
