// Choosing a model: the table lookup and the replacement of the whole mesh.
#include "loader.h"
#include "mesh.h"

const char* modelPath(int value) {
  for (const ModelEntry& model : kModels) {
    if (model.value == value) return model.path;
  }
  return nullptr;
}

void replaceModel(int value) {
  const char* path = modelPath(value);
  emptyList(vertexHead);
  emptyList(currentEdgeHead);
  emptyList(currentFaceHead);
  // The next lists are empty between passes, when the menu calls this;
  // emptying them too makes this the reset of the whole store, whatever a
  // caller built in them.
  emptyList(nextEdgeHead);
  emptyList(nextFaceHead);
  if (path != nullptr) loadMesh(path);
}
