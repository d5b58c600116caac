#include <GL/glut.h>

#include <cstdio>

#include "app/startup.h"

int main(int argc, char** argv) {
    // Console lines report clicks and modes as they happen, even through a pipe.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    startUp(&argc, argv);
    glutMainLoop();
    return 0;
}
