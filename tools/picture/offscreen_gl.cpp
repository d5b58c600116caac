#include "offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>

namespace {
bool fail(std::string& why, const char* reason) {
    why = reason;
    return false;
}

template <typename Function>
Function entryPoint(const char* name) {
    return reinterpret_cast<Function>(eglGetProcAddress(name));
}
}  // namespace

bool makeOffscreenPicture(int width, int height, std::string& why) {
    // Mesa's surfaceless platform needs neither a display nor a graphics card.
    const auto platformDisplay = entryPoint<PFNEGLGETPLATFORMDISPLAYEXTPROC>("eglGetPlatformDisplayEXT");
    if (platformDisplay == nullptr) return fail(why, "EGL cannot name a platform");
    const EGLDisplay display = platformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr)) {
        return fail(why, "Mesa's surfaceless EGL is not available");
    }
    if (!eglBindAPI(EGL_OPENGL_API)) return fail(why, "EGL offers no desktop OpenGL");
    // No window: a configuration that needs no surface of any kind.
    const EGLint wanted[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, wanted, &config, 1, &found) || found < 1) {
        return fail(why, "EGL has no configuration for OpenGL");
    }
    const EGLContext context = eglCreateContext(display, config, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        return fail(why, "no OpenGL context could be made");
    }

    const auto genFramebuffers = entryPoint<PFNGLGENFRAMEBUFFERSPROC>("glGenFramebuffers");
    const auto bindFramebuffer = entryPoint<PFNGLBINDFRAMEBUFFERPROC>("glBindFramebuffer");
    const auto genRenderbuffers = entryPoint<PFNGLGENRENDERBUFFERSPROC>("glGenRenderbuffers");
    const auto bindRenderbuffer = entryPoint<PFNGLBINDRENDERBUFFERPROC>("glBindRenderbuffer");
    const auto renderbufferStorage = entryPoint<PFNGLRENDERBUFFERSTORAGEPROC>("glRenderbufferStorage");
    const auto attach = entryPoint<PFNGLFRAMEBUFFERRENDERBUFFERPROC>("glFramebufferRenderbuffer");
    const auto status = entryPoint<PFNGLCHECKFRAMEBUFFERSTATUSPROC>("glCheckFramebufferStatus");
    if (!genFramebuffers || !bindFramebuffer || !genRenderbuffers || !bindRenderbuffer || !renderbufferStorage ||
        !attach || !status) {
        return fail(why, "OpenGL has no framebuffer objects");
    }
    GLint largest = 0;
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &largest);
    if (width > largest || height > largest) return fail(why, "the picture is larger than OpenGL can draw");

    GLuint framebuffer = 0;
    GLuint buffers[2] = {0, 0};
    genFramebuffers(1, &framebuffer);
    bindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    genRenderbuffers(2, buffers);
    const GLenum formats[2] = {GL_RGBA8, GL_DEPTH_COMPONENT24};
    const GLenum attachments[2] = {GL_COLOR_ATTACHMENT0, GL_DEPTH_ATTACHMENT};
    for (int i = 0; i < 2; ++i) {
        bindRenderbuffer(GL_RENDERBUFFER, buffers[i]);
        renderbufferStorage(GL_RENDERBUFFER, formats[i], width, height);
        attach(GL_FRAMEBUFFER, attachments[i], GL_RENDERBUFFER, buffers[i]);
    }
    // Mesa's llvmpipe reports storage it cannot allocate only as an incomplete attachment.
    if (glGetError() == GL_OUT_OF_MEMORY || status(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT) {
        return fail(why, "OpenGL has not enough memory for it");
    }
    if (status(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) return fail(why, "the picture's framebuffer is incomplete");
    return true;
}

void readOffscreenPicture(int width, int height, std::uint8_t* rgb) {
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb);
}
