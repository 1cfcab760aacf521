// The pop-up menu handler; the only GLUT call of model loading.
#include "gl_headers.h"
#include "loader.h"

void modelMenu(int value) {
  replaceModel(value);
  glutPostRedisplay();
}
