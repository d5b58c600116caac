// The OpenGL 1.1 entry points Frimel calls, defined here for the browser: they take precedence
// over emscripten's library of the same names, and reach WebGL only through the backend.

#include "web/gl_entry.h"

#include <GL/gl.h>

#include <cstring>

#include "web/cone_instances.h"
#include "web/gl_math.h"
#include "web/webgl_backend.h"

namespace webgl {
namespace {
fixedgl::PipelineState makePipeline() {
    fixedgl::PipelineState state;
    fixedgl::resetPipeline(state);
    return state;
}

fixedgl::PipelineState state = makePipeline();
fixedgl::ConeBatch cones;

fixedgl::Mat4 fromFloats(const GLfloat* m) {
    fixedgl::Mat4 out;
    std::memcpy(out.m, m, sizeof out.m);
    return out;
}

// Enable and disable: pipeline state, raster state, or a capability the browser build ignores.
void setPipelineCapability(GLenum capability, bool on) {
    fixedgl::PipelineState& gl = state;
    ++gl.lookVersion;
    switch (capability) {
    case GL_LIGHTING: gl.lighting = on; break;
    case GL_LIGHT0: gl.light0.enabled = on; break;
    case GL_NORMALIZE: gl.normalize = on; break;
    case GL_TEXTURE_2D: gl.raster.texturing = on; break;
    case GL_DEPTH_TEST: gl.raster.depthTest = on; break;
    case GL_BLEND: gl.raster.blending = on; break;
    default: break;
    }
}
}  // namespace

fixedgl::PipelineState& pipeline() { return state; }

fixedgl::ConeBatch& coneBatch() { return cones; }

// At most one of the two holds anything: each is drawn before the other is added to.
void drawPending() {
    drawBatch(state.batch);
    drawCones(cones);
}

}  // namespace webgl

using webgl::pipeline;

extern "C" {

void glBegin(GLenum mode) {
    if (!webgl::coneBatch().instances.empty()) webgl::drawCones(webgl::coneBatch());
    fixedgl::begin(pipeline(), mode);
}
// A full batch is drawn at once, so a frame of any size needs no more memory than a full batch.
void glEnd() {
    fixedgl::end(pipeline());
    if (fixedgl::batchFull(pipeline().batch)) webgl::drawPending();
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) { fixedgl::vertex(pipeline(), x, y, z); }

void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    float* n = pipeline().normal;
    n[0] = x;
    n[1] = y;
    n[2] = z;
}

void glTexCoord2f(GLfloat s, GLfloat t) {
    ++pipeline().lookVersion;
    pipeline().texCoord[0] = s;
    pipeline().texCoord[1] = t;
}

void glColor3f(GLfloat r, GLfloat g, GLfloat b) {
    ++pipeline().lookVersion;
    float* c = pipeline().colour;
    c[0] = r;
    c[1] = g;
    c[2] = b;
    c[3] = 1.0f;
}

void glMatrixMode(GLenum mode) { fixedgl::setMatrixMode(pipeline(), mode); }
void glLoadIdentity() { fixedgl::loadIdentity(pipeline()); }
void glPushMatrix() { fixedgl::pushMatrix(pipeline()); }
void glPopMatrix() { fixedgl::popMatrix(pipeline()); }

void glTranslatef(GLfloat x, GLfloat y, GLfloat z) {
    fixedgl::translate(pipeline(), x, y, z);
}

void glRotatef(GLfloat degrees, GLfloat x, GLfloat y, GLfloat z) {
    fixedgl::rotate(pipeline(), degrees, x, y, z);
}

void glMultMatrixf(const GLfloat* m) { fixedgl::multMatrix(pipeline(), webgl::fromFloats(m)); }
void glMultMatrixd(const GLdouble* m) { fixedgl::multMatrix(pipeline(), fixedgl::fromDoubles(m)); }

void glOrtho(GLdouble left, GLdouble right, GLdouble bottom, GLdouble top, GLdouble zNear, GLdouble zFar) {
    fixedgl::multMatrix(pipeline(), fixedgl::orthoMatrix(left, right, bottom, top, zNear, zFar));
}

void glGetFloatv(GLenum pname, GLfloat* params) {
    const fixedgl::PipelineState& gl = pipeline();
    if (pname == GL_MODELVIEW_MATRIX) {
        std::memcpy(params, gl.modelView.back().m, sizeof(fixedgl::Mat4::m));
    } else if (pname == GL_PROJECTION_MATRIX) {
        std::memcpy(params, gl.projection.back().m, sizeof(fixedgl::Mat4::m));
    }
}

void glLightfv(GLenum light, GLenum pname, const GLfloat* params) {
    if (light == GL_LIGHT0) fixedgl::setLight0(pipeline(), pname, params);
}

// One-sided lighting reads only the front material.
void glMaterialfv(GLenum face, GLenum pname, const GLfloat* params) {
    if (face == GL_FRONT || face == GL_FRONT_AND_BACK) fixedgl::setFrontMaterial(pipeline(), pname, params);
}

void glShadeModel(GLenum mode) { pipeline().shadeModel = mode; }

void glEnable(GLenum capability) { webgl::setPipelineCapability(capability, true); }
void glDisable(GLenum capability) { webgl::setPipelineCapability(capability, false); }

void glBindTexture(GLenum target, GLuint texture) {
    if (target != GL_TEXTURE_2D) return;
    ++pipeline().lookVersion;
    pipeline().raster.texture = texture;
}

// Texture changes reach WebGL at once, so the triangles sent before them are drawn first.
void glTexImage2D(GLenum target, GLint level, GLint internalFormat, GLsizei width, GLsizei height,
                  GLint border, GLenum format, GLenum type, const GLvoid* pixels) {
    if (target != GL_TEXTURE_2D || border != 0) return;
    webgl::drawPending();
    webgl::uploadTexture(pipeline().raster.texture, level, internalFormat, width, height, format, type,
                         pixels, 4);
}

void glTexParameteri(GLenum target, GLenum pname, GLint param) {
    if (target != GL_TEXTURE_2D) return;
    webgl::drawPending();
    webgl::setTextureParameter(pipeline().raster.texture, pname, param);
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
    pipeline().viewport = fixedgl::Viewport{x, y, width, height};
    webgl::viewport(x, y, width, height);
}

void glFlush() { webgl::drawPending(); }

void glFinish() {
    webgl::drawPending();
    webgl::finish();
}

}  // extern "C"
