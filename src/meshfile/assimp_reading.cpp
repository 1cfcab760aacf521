// The build with the Open Asset Import Library.
#include "assimp_reading.h"

#include <assimp/postprocess.h>
#include <assimp/scene.h>

#include <assimp/Importer.hpp>

bool assimpAvailable() { return true; }

namespace {

// Appends one mesh's vertices, values and triangles; its values are its
// vertices', so a corner names the value of its vertex.
void appendMesh(const aiMesh& mesh, uint32_t group, MeshContent& content) {
  MeshAttributes& attributes = content.attributes;
  const std::size_t first = content.positions.size();
  for (unsigned v = 0; v < mesh.mNumVertices; ++v) {
    const aiVector3D& p = mesh.mVertices[v];
    content.positions.push_back({p.x, p.y, p.z});
    content.usable.push_back(1);
    if (mesh.HasTextureCoords(0))
      attributes.uv.values.insert(attributes.uv.values.end(), {mesh.mTextureCoords[0][v].x, mesh.mTextureCoords[0][v].y});
    if (mesh.HasNormals())
      attributes.normals.values.insert(attributes.normals.values.end(),
                                       {mesh.mNormals[v].x, mesh.mNormals[v].y, mesh.mNormals[v].z});
    if (mesh.HasVertexColors(0)) {
      const aiColor4D& c = mesh.mColors[0][v];
      attributes.colors.values.insert(attributes.colors.values.end(), {c.r, c.g, c.b, c.a});
    }
  }
  // A mesh without a kind of value its neighbours have gives its vertices
  // a value each all the same, named by no corner.
  const std::size_t vertices = content.positions.size();
  attributes.uv.values.resize(2 * vertices, 0.0f);
  attributes.normals.values.resize(3 * vertices, 0.0f);
  attributes.colors.values.resize(4 * vertices, 0.0f);
  for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
    const aiFace& face = mesh.mFaces[f];
    if (face.mNumIndices != 3) continue;
    for (unsigned k = 0; k < 3; ++k) {
      const uint32_t vertex = static_cast<uint32_t>(first + face.mIndices[k]);
      const std::size_t corner = content.triangles.size();
      if (mesh.HasTextureCoords(0)) setCornerValue(attributes.uv, corner, vertex);
      if (mesh.HasNormals()) setCornerValue(attributes.normals, corner, vertex);
      if (mesh.HasVertexColors(0)) setCornerValue(attributes.colors, corner, vertex);
      content.triangles.push_back(vertex);
    }
    attributes.groupOfTriangle.push_back(group);
  }
}

}  // namespace

bool readWithAssimp(const std::string& path, MeshContent& content, std::string& cause) {
  Assimp::Importer importer;
  // Vertices placed by their nodes' transforms, meshes of one material
  // merged, every polygon a triangle; points and lines are left apart.
  const aiScene* scene = importer.ReadFile(
      path, aiProcess_Triangulate | aiProcess_PreTransformVertices | aiProcess_SortByPType);
  if (scene == nullptr) {
    cause = importer.GetErrorString();
    return false;
  }
  MeshAttributes& attributes = content.attributes;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh& mesh = *scene->mMeshes[m];
    FaceGroup group;
    if (mesh.mMaterialIndex < scene->mNumMaterials) {
      aiString name;
      if (scene->mMaterials[mesh.mMaterialIndex]->Get(AI_MATKEY_NAME, name) == AI_SUCCESS) group.material = name.C_Str();
    }
    group.object = mesh.mName.C_Str();
    attributes.groups.push_back(group);
    appendMesh(mesh, static_cast<uint32_t>(attributes.groups.size() - 1), content);
  }
  const std::size_t corners = content.triangles.size();
  finishCornerTable(attributes.uv, 2, corners);
  finishCornerTable(attributes.normals, 3, corners);
  finishCornerTable(attributes.colors, 4, corners);
  for (CornerValues* table : {&attributes.uv, &attributes.normals, &attributes.colors})
    if (!table->present()) table->values.clear();
  if (corners == 0) attributes.groupOfTriangle.clear();
  return true;
}
