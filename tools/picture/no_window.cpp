// The only toolkit calls the program's handlers make that matter without a window: a frame
// asked for, and the idle handler. A picture is drawn once, so both are answered with nothing,
// and the toolkit is never started.

#include <GL/glut.h>

extern "C" {
void glutPostRedisplay() {}
void glutIdleFunc(void (*)()) {}
}
