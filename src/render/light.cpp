#include "render/light.h"

#include <GL/glut.h>

#include "app/state.h"

const Material crystalMaterial = {
    {0.8f, 0.8f, 0.8f, 0.6f}, {1.0f, 1.0f, 1.0f, 0.6f}, {0.0f, 0.0f, 0.0f, 0.6f}, 0.0f};
const Material backdropMaterial = {
    {1.0f, 1.0f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f, 1.0f}, 100.0f};

// Left of, above and behind the eye, given in eye coordinates.
const float lightPosition[4] = {-3.0f, 3.0f, 2.5f, 1.0f};
const float lightAmbient[4] = {0.6f, 0.6f, 0.6f, 1.0f};
const float lightDiffuse[4] = {0.6f, 0.6f, 0.6f, 1.0f};
const float lightSpecular[4] = {0.8f, 0.8f, 0.8f, 1.0f};

void initLights() {
    glEnable(GL_LIGHT0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glLightfv(GL_LIGHT0, GL_POSITION, lightPosition);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiffuse);
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmbient);
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpecular);
    glShadeModel(GL_FLAT);
    glEnable(GL_NORMALIZE);
}

void setMaterial(Material m) {
    glMaterialfv(GL_FRONT, GL_AMBIENT, m.ambient);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, m.diffuse);
    glMaterialfv(GL_FRONT, GL_SPECULAR, m.specular);
    glMaterialfv(GL_FRONT, GL_SHININESS, &m.shininess);
}

void applyBlend() {
    if (translucent != 0.0f) {
        glEnable(GL_BLEND);
    } else {
        glDisable(GL_BLEND);
    }
    glutPostRedisplay();
}
