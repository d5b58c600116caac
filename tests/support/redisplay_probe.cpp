#include "support/redisplay_probe.h"

#include <GL/glut.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "render/frame.h"

namespace {
int requests = 0;
}

extern "C" void glutPostRedisplay() {
    static const auto real = reinterpret_cast<void (*)()>(dlsym(RTLD_NEXT, "glutPostRedisplay"));
    if (real == nullptr) {
        std::fputs("redisplay probe: the toolkit has no glutPostRedisplay\n", stderr);
        std::abort();
    }
    ++requests;
    real();
}

int redisplayRequestsDuring(const std::function<void()>& action) {
    const int before = requests;
    action();
    return requests - before;
}

void settleFrame() { display(); }
