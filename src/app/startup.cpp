#include "app/startup.h"

#include <GL/glut.h>

#include <ctime>
#include <memory>

#include "app/commands.h"
#include "app/menu_entries.h"
#include "app/reshape.h"
#include "app/state.h"
#include "model/idle_control.h"
#include "model/lean_random.h"
#include "model/placement.h"
#include "render/frame.h"
#include "render/light.h"
#include "textures/textures.h"

void setUpDrawing() {
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    translucent = 0.0f;
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_LIGHTING);
    initLights();
    glEnable(GL_TEXTURE_2D);
    initBlankTexture();
    loadAllTextures();
}

void createQuadric() {
    quadric = gluNewQuadric();
    gluQuadricDrawStyle(quadric, GLU_FILL);
    gluQuadricTexture(quadric, GL_TRUE);
}

void startUp(int* argc, char** argv) {
    snowSurface = 0;
    crystalTexture = kWhiteIceTexture;
    seedLean(static_cast<unsigned>(std::time(nullptr)));
    sideBranches = true;
    // Stand-ins for a missing predecessor; placeKind is still 0 here, so they are crystals.
    currentCrystal = keepCrystal(std::make_unique<Crystal>());
    linkCrystal = keepCrystal(std::make_unique<Crystal>());

    glutInit(argc, argv);
    mouseX = prevMouseX = 0;
    mouseY = prevMouseY = 0;
    spinAxis = Point3{0.0f, 0.0f, 0.0f};
    spinAngle = 0.0f;
    rotateMode = 0;
    placeKind = 1;
    armLayout = 1;

    glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE | GLUT_DEPTH);
    registerIdle();
    glutInitWindowSize(600, 600);
    glutInitWindowPosition(200, 200);
    glutCreateWindow("Frimel");
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    // The first reshape reports the real size before the first frame.
    windowHeight = 400;
    windowWidth = 400;
    growthBoost = 0.0f;
    mouseDown = false;
    lastDragY = lastDragX = 0.0f;
    allGrown = true;

    glutDisplayFunc(display);
    glutReshapeFunc(reshape);
    glutMouseFunc(mouse);
    glutMotionFunc(motion);
    glutKeyboardFunc(keyboard);

    setUpDrawing();

    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-1, 1, -1, 1, 1, 15);
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, 600, 600);

    buildMenus();

    createQuadric();
}
