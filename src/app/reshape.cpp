#include "app/reshape.h"

#include <GL/glut.h>

#include "app/state.h"

void reshape(int width, int height) {
    windowWidth = width;
    windowHeight = height;
    // A minimised window reports no height: keep the projection valid until a real size arrives.
    const double aspect =
        width > 0 && height > 0 ? static_cast<double>(width) / static_cast<double>(height) : 1.0;
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(30, aspect, 1, 15);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, width, height);
    glutPostRedisplay();
}
