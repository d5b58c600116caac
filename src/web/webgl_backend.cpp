#include "web/webgl_backend.h"

#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "web/context_keeping.h"

namespace webgl {
namespace {
// Clip-space corners with their texture coordinate and the face's colour, as the pipeline
// computed them: the shaders only sample and modulate (GL_MODULATE with RGB textures), with the
// fragment shader the cones' own. A flat output takes the colour of a triangle's last corner,
// where the pipeline put it.
const char* const kVertexShader = R"(#version 300 es
layout(location = 0) in vec4 clipPosition;
layout(location = 1) in vec2 texCoord;
layout(location = 2) in vec4 faceColour;
out vec2 st;
flat out vec4 colour;
void main() {
    gl_Position = clipPosition;
    st = texCoord;
    colour = faceColour;
}
)";

struct Backend {
    bool ready = false;
    GLuint program = 0;
    PendingProgram pending;  // until the first draw has asked whether it built
    GLuint vertexArray = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    GLuint white = 0;  // bound while texturing is off: modulating by it leaves the colour as it is
    std::vector<GLuint> textures;  // WebGL object of each texture name
    // What the context holds now, so a run changes only what differs.
    fixedgl::RasterState applied;
    bool stateKnown = false;
    GLuint boundTexture = 0;
    int drawCalls = 0;
    int drawCallsLastFrame = 0;
    std::size_t trianglesThisFrame = 0;
    GLsync frameDrawn = nullptr;  // signalled once the graphics have drawn the last big frame
    int frameChecks = 0;  // how often frameDrawn was found unsignalled
    double fenceMadeAt = 0;  // ms
    bool fencesSignal = true;  // false once one never did: they are no longer waited for
    bool lost = false;  // the context is gone: nothing reaches it until it is restored
};

Backend backend;
// A fence some browsers never signal must not stop growth for good: one still unsignalled after
// this many animation frames and this long counts as drawn, and no later fence is waited for.
// A software renderer may take half a second on a frame of the deepest crystal, so the wait is
// long enough for a slow frame: without it the graphics would fall frames behind.
constexpr int kFenceChecks = 8;
constexpr double kFenceWaitMs = 2000;
void (*redraw)() = nullptr;  // the toolkit's: has the scene drawn again

// Only started here: the graphics compile and link it while start-up goes on, and the first
// draw finds it built.
void buildProgram() {
    Backend& b = backend;
    b.pending = startProgram(kVertexShader, fixedgl::kFlatFragmentShader);
    b.program = b.pending.program;
}

void buildVertexArray() {
    Backend& b = backend;
    emscripten_glGenVertexArrays(1, &b.vertexArray);
    emscripten_glBindVertexArray(b.vertexArray);
    emscripten_glGenBuffers(1, &b.vertexBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, b.vertexBuffer);
    const GLsizei stride = sizeof(fixedgl::OutVertex);
    const auto at = [](std::size_t offset) { return reinterpret_cast<const void*>(offset); };
    emscripten_glEnableVertexAttribArray(0);
    emscripten_glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(fixedgl::OutVertex, clip)));
    emscripten_glEnableVertexAttribArray(1);
    emscripten_glVertexAttribPointer(1, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(fixedgl::OutVertex, s)));
    emscripten_glEnableVertexAttribArray(2);
    emscripten_glVertexAttribPointer(2, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride, at(offsetof(fixedgl::OutVertex, rgba)));
    emscripten_glGenBuffers(1, &b.indexBuffer);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, b.indexBuffer);  // kept by the vertex array
}

// One texel of white, so the shader can always sample and need not branch on texturing.
void buildWhiteTexture() {
    Backend& b = backend;
    const unsigned char texel[4] = {255, 255, 255, 255};
    emscripten_glGenTextures(1, &b.white);
    emscripten_glBindTexture(GL_TEXTURE_2D, b.white);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    b.boundTexture = b.white;
}

// Created on first use: every caller runs after glutCreateWindow made the context current. A
// context lost before the program ran is made once it is restored.
Backend& ready() {
    Backend& b = backend;
    if (!b.ready && emscripten_is_webgl_context_lost(emscripten_webgl_get_current_context())) b.lost = true;
    if (!b.ready && !b.lost) {
        b.ready = true;
        buildProgram();
        buildVertexArray();
        emscripten_glDepthFunc(GL_LESS);
        emscripten_glDepthRangef(0.0f, 1.0f);
        emscripten_glActiveTexture(GL_TEXTURE0);
        buildWhiteTexture();
        buildConeDrawing();
    }
    return b;
}

// A new texture object gets GL's defaults that matter here: repeat, and no mipmap filter, since
// only the base level is ever uploaded.
GLuint textureObject(unsigned name) {
    Backend& b = ready();
    if (name >= b.textures.size()) b.textures.resize(name + 1, 0);
    GLuint& object = b.textures[name];
    if (object == 0) {
        emscripten_glGenTextures(1, &object);
        emscripten_glBindTexture(GL_TEXTURE_2D, object);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        b.boundTexture = object;
    }
    return object;
}

}  // namespace

void bindName(unsigned name) {
    const GLuint object = textureObject(name);
    if (backend.boundTexture != object) {
        emscripten_glBindTexture(GL_TEXTURE_2D, object);
        backend.boundTexture = object;
    }
}

namespace {
void dropFrameFence() {
    if (backend.frameDrawn) emscripten_glDeleteSync(backend.frameDrawn);
    backend.frameDrawn = nullptr;
    backend.frameChecks = 0;
}

void setContextCapability(GLenum capability, bool on) {
    if (on) {
        emscripten_glEnable(capability);
    } else {
        emscripten_glDisable(capability);
    }
}

void applyState(const fixedgl::RasterState& state) {
    Backend& b = backend;
    const bool known = b.stateKnown;
    if (!known || state.depthTest != b.applied.depthTest) setContextCapability(GL_DEPTH_TEST, state.depthTest);
    if (!known || state.blending != b.applied.blending) setContextCapability(GL_BLEND, state.blending);
    if (state.texturing) {
        sendPendingLevels(state.texture);
        bindName(state.texture);
    } else if (b.boundTexture != b.white) {
        emscripten_glBindTexture(GL_TEXTURE_2D, b.white);
        b.boundTexture = b.white;
    }
    b.applied = state;
    b.stateKnown = true;
}

// The browser keeps a lost context's place only if the loss is claimed: restoring is then allowed.
EM_BOOL contextLost(int, const void*, void*) {
    dropFrameFence();  // the old context's own: deleting it there frees its handle
    backend.lost = true;
    return EM_TRUE;
}

// Every object of the old context is gone: the program, buffers and textures are made anew
// from what was kept, and the scene, which lives in the program's own memory, is drawn again.
// Handles of the old context, the frame's fence among them, are forgotten, not deleted.
EM_BOOL contextRestored(int, const void*, void*) {
    const int drawCallsLastFrame = backend.drawCallsLastFrame;
    backend = Backend();
    backend.drawCallsLastFrame = drawCallsLastFrame;
    // Given back before GLUT's window made its context: its first use makes everything.
    if (emscripten_webgl_get_current_context() == 0) return EM_TRUE;
    ready();
    giveKeptAgain();
    if (redraw) redraw();
    return EM_TRUE;
}

// Registered as the program starts, before main: the canvas, and its context, are made by the
// page, so a loss may come before GLUT's window or the first frame.
bool watchContext() {
    emscripten_set_webglcontextlost_callback("#canvas", nullptr, EM_FALSE, contextLost);
    emscripten_set_webglcontextrestored_callback("#canvas", nullptr, EM_FALSE, contextRestored);
    return true;
}

[[maybe_unused]] const bool watching = watchContext();
}  // namespace

PendingProgram startProgram(const char* vertexSource, const char* fragmentSource) {
    PendingProgram p;
    p.program = emscripten_glCreateProgram();
    p.shaders[0] = emscripten_glCreateShader(GL_VERTEX_SHADER);
    p.shaders[1] = emscripten_glCreateShader(GL_FRAGMENT_SHADER);
    const char* sources[2] = {vertexSource, fragmentSource};
    for (int i = 0; i < 2; ++i) {
        emscripten_glShaderSource(p.shaders[i], 1, &sources[i], nullptr);
        emscripten_glCompileShader(p.shaders[i]);
        emscripten_glAttachShader(p.program, p.shaders[i]);
    }
    emscripten_glLinkProgram(p.program);
    return p;
}

GLuint finishProgram(PendingProgram& p) {
    if (p.program == 0) return 0;
    GLint linked = 0;
    emscripten_glGetProgramiv(p.program, GL_LINK_STATUS, &linked);
    for (GLuint shader : p.shaders) {
        GLint compiled = 0;
        if (!linked) emscripten_glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
        if (!linked && !compiled) {
            char log[1024] = "";
            emscripten_glGetShaderInfoLog(shader, sizeof log, nullptr, log);
            std::fprintf(stderr, "shader does not compile: %s\n", log);
        }
        emscripten_glDeleteShader(shader);
    }
    GLuint program = p.program;
    if (!linked) {
        std::fprintf(stderr, "shader program does not link\n");
        emscripten_glDeleteProgram(program);
        program = 0;
    }
    p = PendingProgram();
    return program;
}

void prepare() { ready(); }

void finishTrianglesProgram() {
    Backend& b = ready();
    if (!b.lost && b.pending.program) b.program = finishProgram(b.pending);
}

bool contextLost() { return backend.lost; }

void applyRasterState(const fixedgl::RasterState& state) { applyState(state); }

void countDraw(std::size_t triangles) {
    ++backend.drawCalls;
    backend.trianglesThisFrame += triangles;
}

void drawBatch(fixedgl::FrameBatch& batch) {
    if (batch.vertices.empty() || backend.lost) {
        fixedgl::emptyBatch(batch);
        return;
    }
    finishTrianglesProgram();
    Backend& b = backend;
    emscripten_glUseProgram(b.program);
    emscripten_glBindVertexArray(b.vertexArray);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, b.vertexBuffer);
    emscripten_glBufferData(GL_ARRAY_BUFFER, batch.vertices.size() * sizeof(fixedgl::OutVertex),
                            batch.vertices.data(), GL_STREAM_DRAW);
    emscripten_glBufferData(GL_ELEMENT_ARRAY_BUFFER, batch.indices.size() * sizeof(std::uint32_t),
                            batch.indices.data(), GL_STREAM_DRAW);
    for (const fixedgl::DrawRun& run : batch.runs) {
        if (run.count == 0) continue;
        applyState(run.state);
        emscripten_glDrawElements(GL_TRIANGLES, static_cast<GLsizei>(run.count), GL_UNSIGNED_INT,
                                  reinterpret_cast<const void*>(run.first * sizeof(std::uint32_t)));
        countDraw(run.count / 3);
    }
    fixedgl::emptyBatch(batch);
}

void endFrame() {
    Backend& b = backend;
    b.drawCallsLastFrame = b.drawCalls;
    b.drawCalls = 0;
    const bool big = b.trianglesThisFrame > fixedgl::kBatchTriangles;
    b.trianglesThisFrame = 0;
    if (b.lost || !b.ready) return;
    dropFrameFence();
    // A frame within one batch is drawn well inside an animation frame; the browser reports a
    // fence only some animation frames later, which would slow every small frame down.
    if (big) {
        b.frameDrawn = emscripten_glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        b.fenceMadeAt = emscripten_get_now();
    }
}

bool lastFrameDrawn() {
    Backend& b = backend;
    if (!b.frameDrawn || b.lost) return true;
    GLint status = GL_SIGNALED;
    if (b.fencesSignal) emscripten_glGetSynciv(b.frameDrawn, GL_SYNC_STATUS, 1, nullptr, &status);
    if (status != GL_SIGNALED) {
        if (++b.frameChecks < kFenceChecks || emscripten_get_now() - b.fenceMadeAt < kFenceWaitMs) return false;
        b.fencesSignal = false;
    }
    dropFrameFence();
    return true;
}

int drawCallsLastFrame() { return backend.drawCallsLastFrame; }

void onRedrawNeeded(void (*handler)()) { redraw = handler; }

void uploadTexture(unsigned name, int level, int internalFormat, int width, int height,
                   unsigned format, unsigned type, const void* pixels, int alignment) {
    keepLevel(name, level, internalFormat, width, height, format, type, pixels, alignment);
}

void setTextureParameter(unsigned name, unsigned pname, int value) {
    keepParameter(name, pname, value);
    if (!backend.lost) sendParameter(name, pname, value);
}

void clear(unsigned mask) {
    if (backend.lost) return;
    ready();
    emscripten_glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void clearColour(float r, float g, float b, float a) {
    keepClearColour(r, g, b, a);
    if (backend.lost) return;
    ready();
    emscripten_glClearColor(r, g, b, a);
}

void viewport(int x, int y, int width, int height) {
    keepViewport(x, y, width, height);
    if (backend.lost) return;
    ready();
    emscripten_glViewport(x, y, width, height);
}

void blendFunction(unsigned source, unsigned destination) {
    keepBlendFunction(source, destination);
    if (backend.lost) return;
    ready();
    emscripten_glBlendFunc(source, destination);
}

void finish() {
    if (backend.lost) return;
    ready();
    emscripten_glFinish();
}

}  // namespace webgl

extern "C" int frimel_draw_calls_last_frame() { return webgl::drawCallsLastFrame(); }
