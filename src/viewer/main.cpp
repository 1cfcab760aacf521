// A viewer for triangle meshes that refines them by butterfly subdivision.
//
// Right button: the model menu (Cube, SmallCube, Cylinder, read from Data/
// under the working directory). Left drag turns the model; z/x zoom, o fills,
// s subdivides, v/e/f print the vertex/edge/face lists, Escape quits.
#include "gl_headers.h"
#include "mesh.h"
#include "view.h"

int main(int argc, char** argv) {
  glutInit(&argc, argv);
  glutInitDisplayMode(GLUT_RGB | GLUT_DOUBLE);
  glutInitWindowSize(windowWidth, windowHeight);
  glutInitWindowPosition(0, 0);
  glutCreateWindow("Draw Point, Line and Curve");
  initLists();

  glutDisplayFunc(display);
  glutReshapeFunc(reshape);
  glutMouseFunc(mouse);
  glutMotionFunc(motion);
  glutKeyboardFunc(keyboard);

  attachModelMenu();

  glutMainLoop();
  return 0;
}
