// Stands in for the GLUT library's glutPostRedisplay: the test program's own
// definition is linked ahead of the shared library's, so the handlers run
// without a display and their redraw requests can be counted.
#include "redraw_counter.h"

#include "gl_headers.h"

int redrawRequests = 0;

extern "C" void glutPostRedisplay(void) { ++redrawRequests; }
