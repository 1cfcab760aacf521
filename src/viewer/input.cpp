// Mouse and keyboard commands.
//
//   left drag   turn the model (five pixels a degree)
//   z / x       zoom in / out by zoomFactor
//   o           outlines <-> filled triangles
//   s           one subdivision pass
//   v / e / f   print the vertex / edge / face listing
//   Escape      quit (status 0)
#include <cstdio>
#include <cstdlib>

#include "gl_headers.h"
#include "subdivision.h"
#include "view.h"

int mouseButton = 0;
int mouseState = 0;
int lastX = 0;
int lastY = 0;
float zoomFactor = 1.125f;

void mouse(int button, int state, int x, int y) {
  if (button != GLUT_LEFT_BUTTON) return;
  if (state == GLUT_DOWN) {
    mouseState = state;
    mouseButton = button;
    lastX = x;
    lastY = y;
  } else if (state == GLUT_UP) {
    mouseState = -1;
  } else {
    return;
  }
  glutPostRedisplay();
}

// Until the first left release mouseState is still 0 from the start, so a
// drag with another button turns the model too, as it always has.
void motion(int x, int y) {
  if (mouseButton == GLUT_LEFT_BUTTON && mouseState == GLUT_DOWN) {
    rotY = static_cast<float>(rotY - (lastX - x) / 5.0);
    rotX = static_cast<float>(rotX - (lastY - y) / 5.0);
    glutPostRedisplay();
    lastX = x;
    lastY = y;
  }
  glutPostRedisplay();
}

void keyboard(unsigned char key, int, int) {
  switch (key) {
    case 27:
      std::exit(0);
    case 'e':
      printEdgeListing(stdout);
      break;
    case 'f':
      printFaceListing(stdout);
      break;
    case 'o':
      filled = !filled;
      break;
    case 's':
      subdivide();
      break;
    case 'v':
      printVertexListing(stdout);
      break;
    case 'x':
      scale /= zoomFactor;
      break;
    case 'z':
      scale *= zoomFactor;
      break;
    default:
      break;
  }
  glutPostRedisplay();
}
