// The pop-up menu handler; the only GLUT call of model loading.
#include <GL/glut.h>

#include "loader.h"

void modelMenu(int value) {
  replaceModel(value);
  glutPostRedisplay();
}
