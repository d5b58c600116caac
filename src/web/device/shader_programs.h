#pragma once

// A shader program whose compiling and linking the graphics do while the page goes on: nothing
// waits for them until finishProgram asks.

namespace webgl {

struct PendingProgram {
    unsigned program = 0;
    unsigned shaders[2] = {0, 0};
};
PendingProgram startProgram(const char* vertexSource, const char* fragmentSource);
// The program, once built, or 0 (the logs printed) when it does not build; the pending one is
// emptied either way.
unsigned finishProgram(PendingProgram& pending);

}  // namespace webgl
