#include "web/device/shader_programs.h"

#include <webgl/webgl1.h>
#include <webgl/webgl2.h>

#include <cstdio>

namespace webgl {

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

unsigned finishProgram(PendingProgram& p) {
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

}  // namespace webgl
