// Stand-ins for the library functions below, linked ahead of the shared
// libraries as glutPostRedisplay's is (redraw_counter.cpp). Without a window
// the real GLUT menu calls end the program and the real GL calls have no
// context to act on. Every other GL call of the handlers goes to the library,
// which does nothing without a current context.
#include "gl_recorder.h"

#include "gl_headers.h"

// Windows' headers declare GL's functions as imported from its DLL; the viewer
// still calls them by name, so definitions here stand in for them as on other
// systems, and the compiler's note that they are no longer imported is moot.
#ifdef _WIN32
#pragma GCC diagnostic ignored "-Wattributes"
#endif

RecordedCalls recorded;

extern "C" {

int glutCreateMenu(void (*callback)(int)) {
  recorded.menuHandler = callback;
  return 1;
}

void glutAddMenuEntry(const char* label, int value) { recorded.entries.emplace_back(label, value); }

void glutAttachMenu(int button) { recorded.attachedButtons.push_back(button); }

void gluPerspective(GLdouble fovy, GLdouble aspect, GLdouble zNear, GLdouble zFar) {
  recorded.perspectives.push_back({fovy, aspect, zNear, zFar});
}

void glBegin(GLenum mode) { recorded.begins.push_back(mode); }

void glVertex3fv(const GLfloat* v) { recorded.vertices.push_back({v[0], v[1], v[2]}); }

void glEnd() { ++recorded.ends; }

}  // extern "C"
