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
  // Edges of earlier subdivision passes point at the vertices just freed;
  // a later pass would copy them back into the current list.
  emptyList(nextEdgeHead);
  emptyList(nextFaceHead);
  if (path != nullptr) loadMesh(path);
}
