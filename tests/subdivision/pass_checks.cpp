// Reading the store back for the subdivision tests.
#include "pass_checks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>

#include "mesh_fixtures.h"

Point positionOf(const Vertex* v) { return {v->x, v->y, v->z}; }

double distance(const Point& p, const Point& q) {
  return std::sqrt((p[0] - q[0]) * (p[0] - q[0]) + (p[1] - q[1]) * (p[1] - q[1]) +
                   (p[2] - q[2]) * (p[2] - q[2]));
}

double boundingDiagonal() {
  const std::vector<Vertex*> vertices = vertexRecords();
  if (vertices.empty()) return 0.0;
  Point low = positionOf(vertices[0]), high = low;
  for (const Vertex* v : vertices) {
    for (int k = 0; k < 3; ++k) {
      low[k] = std::min(low[k], positionOf(v)[k]);
      high[k] = std::max(high[k], positionOf(v)[k]);
    }
  }
  return distance(low, high);
}

IndexedMesh storeMesh() {
  IndexedMesh mesh;
  std::map<const Vertex*, int> index;
  for (const Vertex* v : vertexRecords()) {
    index[v] = int(mesh.points.size());
    mesh.points.push_back(positionOf(v));
  }
  for (const Face* f : faceRecords(kCurrentGeneration)) {
    mesh.triangles.push_back({index.at(f->v[0]), index.at(f->v[1]), index.at(f->v[2])});
  }
  return mesh;
}

std::vector<SplitFace> splitFaces() {
  const std::vector<Face*> faces = faceRecords(kCurrentGeneration);
  EXPECT_EQ(faces.size() % 4, 0u);
  std::vector<SplitFace> split;
  for (std::size_t k = 0; k + 3 < faces.size(); k += 4) {
    const Face &first = *faces[k], &second = *faces[k + 1], &third = *faces[k + 2],
               &middle = *faces[k + 3];
    SplitFace s{{first.v[0], second.v[1], third.v[2]}, {first.v[1], second.v[2], first.v[2]}};
    EXPECT_TRUE(second.v[0] == s.point[0] && third.v[0] == s.point[2] && third.v[1] == s.point[1])
        << "corner triangles of old face " << k / 4 + 1;
    EXPECT_TRUE(middle.v[0] == s.point[0] && middle.v[1] == s.point[1] && middle.v[2] == s.point[2])
        << "middle triangle of old face " << k / 4 + 1;
    split.push_back(s);
  }
  return split;
}

VertexSnapshot snapshotVertices() {
  VertexSnapshot snapshot{vertexRecords(), {}};
  for (const Vertex* v : snapshot.records) snapshot.positions.push_back(positionOf(v));
  return snapshot;
}

void expectOldVerticesKept(const VertexSnapshot& before) {
  const std::vector<Vertex*> after = vertexRecords();
  ASSERT_GE(after.size(), before.records.size());
  int32_t id = before.records.empty() ? 0 : before.records.back()->id;
  for (std::size_t i = 0; i < after.size(); ++i) {
    if (i < before.records.size()) {
      ASSERT_EQ(after[i], before.records[i]) << "vertex record " << i;
      EXPECT_EQ(positionOf(after[i]), before.positions[i]) << "vertex id " << after[i]->id;
    } else {
      EXPECT_EQ(after[i]->id, ++id);
    }
  }
}

std::vector<int> positionClasses(const std::vector<Point>& points, double tolerance) {
  std::vector<int> byX(points.size());
  std::iota(byX.begin(), byX.end(), 0);
  std::sort(byX.begin(), byX.end(), [&](int i, int j) { return points[i][0] < points[j][0]; });
  std::vector<int> classes(points.size());
  for (std::size_t k = 0; k < byX.size(); ++k) {
    const int i = byX[k];
    int first = i;
    auto consider = [&](int j) {
      if (j < first && distance(points[i], points[j]) <= tolerance) first = j;
    };
    for (std::size_t m = k; m-- > 0 && points[i][0] - points[byX[m]][0] <= tolerance;)
      consider(byX[m]);
    for (std::size_t m = k + 1; m < byX.size() && points[byX[m]][0] - points[i][0] <= tolerance;
         ++m)
      consider(byX[m]);
    classes[i] = first;
  }
  return classes;
}

int distinctPositions(const std::vector<Point>& points, double tolerance) {
  const std::vector<int> classes = positionClasses(points, tolerance);
  int distinct = 0;
  for (std::size_t i = 0; i < classes.size(); ++i) distinct += classes[i] == int(i) ? 1 : 0;
  return distinct;
}
