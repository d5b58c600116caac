#include "web/device/webgl_device.h"

#include <GL/glut.h>
#include <emscripten.h>
#include <emscripten/html5.h>
#include <webgl/webgl1.h>

#include <cstddef>
#include <cstdio>

#include "web/device/kept_settings.h"
#include "web/pipeline/draw_list.h"

namespace webgl {
namespace {
constexpr GLenum kClamp = 0x2900;  // GL_CLAMP, which WebGL lacks
// A fence some browsers never signal must not stop growth for good: one still unsignalled after
// this many animation frames and this long counts as drawn, and no later fence is waited for.
// A software renderer may take half a second on a frame of the deepest crystal, so the wait is
// long enough for a slow frame: without it the graphics would fall frames behind.
constexpr int kFenceChecks = 8;
constexpr double kFenceWaitMs = 2000;

struct Device {
    bool watching = false;  // the context's loss and restore are watched
    bool made = false;      // the objects exist in the current context
    bool lost = false;      // the context is gone: nothing reaches it until it is restored
    DeviceObjects objects;
    KeptSettings kept;      // outlives every context
    bool coneWayChosen = false;
    bool conesByInstances = false;
    bool coneWaySettled = false;  // whether the context builds the cones' program is known
    int frameChecks = 0;          // how often the frame's fence was found unsignalled
    double fenceMadeAt = 0;       // ms
    bool fencesSignal = true;     // false once one never did: they are no longer waited for
};

Device the;

// `?cones=cpu` keeps the cones on the triangles' way, for comparison and for a browser whose
// graphics fail this one.
EM_JS(int, conesAskedOnCpu, (), {
    return new URLSearchParams(location.search).get('cones') === 'cpu' ? 1 : 0;
});

void makeTrianglesArray(DeviceObjects& o) {
    emscripten_glGenVertexArrays(1, &o.trianglesArray);
    emscripten_glBindVertexArray(o.trianglesArray);
    emscripten_glGenBuffers(1, &o.vertexBuffer);
    emscripten_glBindBuffer(GL_ARRAY_BUFFER, o.vertexBuffer);
    using fixedgl::OutVertex;
    const GLsizei stride = sizeof(OutVertex);
    const auto at = [](std::size_t offset) { return reinterpret_cast<const void*>(offset); };
    emscripten_glEnableVertexAttribArray(fixedgl::kClipPosition);
    emscripten_glVertexAttribPointer(fixedgl::kClipPosition, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(OutVertex, clip)));
    emscripten_glEnableVertexAttribArray(fixedgl::kTexCoord);
    emscripten_glVertexAttribPointer(fixedgl::kTexCoord, 2, GL_FLOAT, GL_FALSE, stride, at(offsetof(OutVertex, s)));
    emscripten_glEnableVertexAttribArray(fixedgl::kFaceColour);
    emscripten_glVertexAttribPointer(fixedgl::kFaceColour, 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                                     at(offsetof(OutVertex, rgba)));
    emscripten_glGenBuffers(1, &o.indexBuffer);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, o.indexBuffer);  // kept by the vertex array
}

void makeConesArrayAndTexture(DeviceObjects& o) {
    emscripten_glGenVertexArrays(1, &o.conesArray);
    emscripten_glBindVertexArray(o.conesArray);
    emscripten_glGenBuffers(1, &o.coneIndexBuffer);
    emscripten_glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, o.coneIndexBuffer);  // kept by the vertex array
    emscripten_glActiveTexture(GL_TEXTURE0 + fixedgl::kConeInstanceUnit);
    emscripten_glGenTextures(1, &o.coneInstances);
    emscripten_glBindTexture(GL_TEXTURE_2D, o.coneInstances);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexStorage2D(GL_TEXTURE_2D, 1, GL_RGBA32F, fixedgl::kConeTextureWidth, fixedgl::kConeTextureRows);
    emscripten_glActiveTexture(GL_TEXTURE0 + fixedgl::kPictureUnit);
}

void makeWhiteTexture(DeviceObjects& o) {
    const unsigned char texel[4] = {255, 255, 255, 255};
    emscripten_glGenTextures(1, &o.white);
    emscripten_glBindTexture(GL_TEXTURE_2D, o.white);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    emscripten_glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
    o.boundTexture = o.white;
}

void startConeProgram(ConeProgram& p, int variant) {
    p.pending = startProgram(fixedgl::coneVertexShader(variant).c_str(), fixedgl::kFlatFragmentShader);
}

// Every object of a context. Programs are only started: the graphics compile and link them while
// start-up goes on, and the first draw finds them built. A session of crystals needs only the
// lit, matte cones' program; the way the cones go is chosen with the first context.
void create() {
    DeviceObjects& o = the.objects;
    the.made = true;
    o.trianglesPending = startProgram(fixedgl::kTrianglesVertexShader, fixedgl::kFlatFragmentShader);
    o.trianglesProgram = o.trianglesPending.program;
    makeTrianglesArray(o);
    emscripten_glDepthFunc(GL_LESS);
    emscripten_glDepthRangef(0.0f, 1.0f);
    emscripten_glActiveTexture(GL_TEXTURE0 + fixedgl::kPictureUnit);
    makeWhiteTexture(o);
    if (!the.coneWayChosen) {
        the.coneWayChosen = true;
        the.conesByInstances = !conesAskedOnCpu();
    }
    if (the.conesByInstances) {
        startConeProgram(o.cones[fixedgl::kMatteCones], fixedgl::kMatteCones);
        the.coneWaySettled = false;
        makeConesArrayAndTexture(o);
    }
}

void dropFrameFence() {
    if (the.objects.frameDrawn) emscripten_glDeleteSync(the.objects.frameDrawn);
    the.objects.frameDrawn = nullptr;
    the.frameChecks = 0;
}

// The handles of a lost context, forgotten, not deleted: the context took them with it.
void forget() {
    the.objects = DeviceObjects();
    the.made = false;
    the.frameChecks = 0;
    the.fencesSignal = true;
}

// A new texture object gets GL's defaults that matter here: repeat, and no mipmap filter, since
// only the base level is ever uploaded.
GLuint textureObject(DeviceObjects& o, unsigned name) {
    if (name >= o.textures.size()) o.textures.resize(name + 1, 0);
    GLuint& object = o.textures[name];
    if (object == 0) {
        emscripten_glGenTextures(1, &object);
        emscripten_glBindTexture(GL_TEXTURE_2D, object);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
        emscripten_glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
        o.boundTexture = object;
    }
    return object;
}

void bindTexture(DeviceObjects& o, GLuint object) {
    if (o.boundTexture == object) return;
    emscripten_glBindTexture(GL_TEXTURE_2D, object);
    o.boundTexture = object;
}

// GL 1.1's component counts for the internal format; WebGL takes only format names.
GLint internalFormatName(int internalFormat) {
    switch (internalFormat) {
    case 1: return GL_LUMINANCE;
    case 2: return GL_LUMINANCE_ALPHA;
    case 3: return GL_RGB;
    case 4: return GL_RGBA;
    default: return internalFormat;
    }
}

void sendLevel(DeviceObjects& o, const KeptLevel& l) {
    bindTexture(o, textureObject(o, l.name));
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, l.alignment);
    emscripten_glTexImage2D(GL_TEXTURE_2D, l.level, internalFormatName(l.internalFormat), l.width, l.height, 0,
                            l.format, l.type, l.pixels.empty() ? nullptr : l.pixels.data());
    emscripten_glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
}

// Start-up then sends only what the first frame shows, in that frame's task, not all in main's.
void sendPendingLevels(DeviceObjects& o, unsigned name) {
    for (KeptLevel& level : the.kept.levels) {
        if (level.name != name || level.sent) continue;
        sendLevel(o, level);
        level.sent = true;
    }
}

void sendParameter(DeviceObjects& o, unsigned name, unsigned pname, int value) {
    bindTexture(o, textureObject(o, name));
    emscripten_glTexParameteri(GL_TEXTURE_2D, pname, value == static_cast<int>(kClamp) ? GL_CLAMP_TO_EDGE : value);
}

// A restored context has nothing: every level is sent again when sampled, and the parameters
// and settings at once.
void giveKeptAgain(DeviceObjects& o) {
    const KeptSettings& k = the.kept;
    for (KeptLevel& level : the.kept.levels) level.sent = false;
    for (const KeptParameter& p : k.parameters) sendParameter(o, p.name, p.pname, p.value);
    emscripten_glClearColor(k.clearColour[0], k.clearColour[1], k.clearColour[2], k.clearColour[3]);
    emscripten_glBlendFunc(k.blendSource, k.blendDestination);
    if (k.viewportSet) emscripten_glViewport(k.viewport[0], k.viewport[1], k.viewport[2], k.viewport[3]);
}

// The browser keeps a lost context's place only if the loss is claimed: restoring is then allowed.
EM_BOOL onContextLost(int, const void*, void*) {
    dropFrameFence();  // the old context's own: deleting it there frees its handle
    the.lost = true;
    return EM_TRUE;
}

// Every object of the old context is gone: they are made anew, the kept settings given again,
// and the scene, which lives in the program's own memory, drawn again.
EM_BOOL onContextRestored(int, const void*, void*) {
    forget();
    the.lost = false;
    create();
    giveKeptAgain(the.objects);
    glutPostRedisplay();
    return EM_TRUE;
}

void setCapability(GLenum capability, bool on) {
    if (on) {
        emscripten_glEnable(capability);
    } else {
        emscripten_glDisable(capability);
    }
}
}  // namespace

// The canvas and its context are the page's, which claims a loss before the program runs; from
// the first use on, the device claims and restores them itself.
DeviceObjects* device() {
    if (!the.watching) {
        the.watching = true;
        emscripten_set_webglcontextlost_callback("#canvas", nullptr, EM_FALSE, onContextLost);
        emscripten_set_webglcontextrestored_callback("#canvas", nullptr, EM_FALSE, onContextRestored);
        if (emscripten_is_webgl_context_lost(emscripten_webgl_get_current_context())) the.lost = true;
    }
    if (the.lost) return nullptr;
    if (!the.made) create();
    return &the.objects;
}

GLuint trianglesProgram() {
    DeviceObjects* o = device();
    if (!o) return 0;
    if (o->trianglesPending.program) o->trianglesProgram = finishProgram(o->trianglesPending);
    return o->trianglesProgram;
}

ConeProgram* coneProgram(int variant) {
    ConeProgram& p = the.objects.cones[variant];
    if (p.name != 0 || p.failed) return p.failed ? nullptr : &p;
    if (p.pending.program == 0) startConeProgram(p, variant);
    p.name = finishProgram(p.pending);
    if (p.name == 0) {
        p.failed = true;
        return nullptr;
    }
    emscripten_glUseProgram(p.name);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(p.name, "picture"), fixedgl::kPictureUnit);
    emscripten_glUniform1i(emscripten_glGetUniformLocation(p.name, "cones"), fixedgl::kConeInstanceUnit);
    fixedgl::ConeUniform names[fixedgl::kConeUniforms];
    fixedgl::coneUniforms(fixedgl::ConeLook(), names);
    for (int i = 0; i < fixedgl::kConeUniforms; ++i) p.at[i] = emscripten_glGetUniformLocation(p.name, names[i].name);
    const fixedgl::ConeUniform circle = fixedgl::coneCircleUniform();
    emscripten_glUniform2fv(emscripten_glGetUniformLocation(p.name, circle.name), circle.count, circle.values);
    return &p;
}

void applyRaster(const fixedgl::RasterState& state) {
    DeviceObjects& o = the.objects;
    const bool known = o.stateKnown;
    if (!known || state.depthTest != o.applied.depthTest) setCapability(GL_DEPTH_TEST, state.depthTest);
    if (!known || state.blending != o.applied.blending) setCapability(GL_BLEND, state.blending);
    if (state.texturing) {
        sendPendingLevels(o, state.texture);
        bindTexture(o, textureObject(o, state.texture));
    } else {
        bindTexture(o, o.white);
    }
    o.applied = state;
    o.stateKnown = true;
}

bool settleConeWay() {
    if (!the.coneWayChosen) device();
    if (the.conesByInstances && !the.coneWaySettled && !the.lost) {
        the.coneWaySettled = true;
        if (!coneProgram(fixedgl::kMatteCones)) {
            std::fprintf(stderr, "cones are drawn as triangles\n");
            the.conesByInstances = false;
        }
    }
    return the.conesByInstances;
}

void fenceFrame(bool big) {
    if (the.lost || !the.made) return;
    dropFrameFence();
    // A frame within one list is drawn well inside an animation frame; the browser reports a
    // fence only some animation frames later, which would slow every small frame down.
    if (big) {
        the.objects.frameDrawn = emscripten_glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
        the.fenceMadeAt = emscripten_get_now();
    }
}

bool lastFrameDrawn() {
    if (!the.objects.frameDrawn || the.lost) return true;
    GLint status = GL_SIGNALED;
    if (the.fencesSignal) emscripten_glGetSynciv(the.objects.frameDrawn, GL_SYNC_STATUS, 1, nullptr, &status);
    if (status != GL_SIGNALED) {
        if (++the.frameChecks < kFenceChecks || emscripten_get_now() - the.fenceMadeAt < kFenceWaitMs) return false;
        the.fencesSignal = false;
    }
    dropFrameFence();
    return true;
}

void uploadTexture(unsigned name, int level, int internalFormat, int width, int height, unsigned format,
                   unsigned type, const void* pixels, int alignment) {
    the.kept.keepLevel(name, level, internalFormat, width, height, format, type, pixels, alignment);
}

void setTextureParameter(unsigned name, unsigned pname, int value) {
    the.kept.keepParameter(name, pname, value);
    if (DeviceObjects* o = device()) sendParameter(*o, name, pname, value);
}

void clear(unsigned mask) {
    if (device()) emscripten_glClear(mask & (GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT));
}

void clearColour(float r, float g, float b, float a) {
    the.kept.keepClearColour(r, g, b, a);
    if (device()) emscripten_glClearColor(r, g, b, a);
}

void viewport(int x, int y, int width, int height) {
    the.kept.keepViewport(x, y, width, height);
    if (device()) emscripten_glViewport(x, y, width, height);
}

void blendFunction(unsigned source, unsigned destination) {
    the.kept.keepBlendFunction(source, destination);
    if (device()) emscripten_glBlendFunc(source, destination);
}

void finish() {
    if (device()) emscripten_glFinish();
}

}  // namespace webgl

// Which way the cones go, for the page's tests and benches: 1 by instances, 0 as triangles.
extern "C" int frimel_cones_by_instances() { return webgl::settleConeWay() ? 1 : 0; }
