// The pop-up model menu, apart from main so that its entries can be checked
// without a display.
#include "gl_headers.h"
#include "loader.h"
#include "view.h"

void attachModelMenu() {
  glutCreateMenu(modelMenu);
  for (const ModelEntry& model : kModels) glutAddMenuEntry(model.label, model.value);
  glutAttachMenu(GLUT_RIGHT_BUTTON);
}
