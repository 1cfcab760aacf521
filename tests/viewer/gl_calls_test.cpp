// What the viewer hands to GLUT and GL: the model menu, the projection and
// the triangles it draws.
#include <gtest/gtest.h>

#include "gl_headers.h"
#include "gl_recorder.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "view.h"

namespace {

TEST(Startup, ModelMenuOnTheRightButton) {
  recorded = {};
  attachModelMenu();
  EXPECT_EQ(recorded.menuHandler, &modelMenu);
  const std::vector<std::pair<std::string, int>> entries = {
      {"Cube", 49}, {"SmallCube", 50}, {"Cylinder", 51}};
  EXPECT_EQ(recorded.entries, entries);
  EXPECT_EQ(recorded.attachedButtons, std::vector<int>{GLUT_RIGHT_BUTTON});
}

// 60 degrees high, the window's shape (a height of 0 taken as 1), near and
// far planes at 0.01 and 1000.
TEST(Startup, ReshapeSetsThePerspective) {
  recorded = {};
  reshape(800, 600);
  reshape(640, 0);
  const std::vector<std::vector<double>> expected = {{60.0, 800.0 / 600.0, 0.01, 1000.0},
                                                     {60.0, 640.0, 0.01, 1000.0}};
  EXPECT_EQ(recorded.perspectives, expected);
  EXPECT_EQ(windowHeight, 1);
}

// Triangles with any corner at infinity or not-a-number are left out; the
// others are drawn in list order, one begin and end each.
TEST(Drawing, OnlyTrianglesWithFiniteCorners) {
  resetStore();
  loadText(
      "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 1 1 0.5\nv nan 0 0\nv 0 inf 0\nv 0 0 -inf\n"
      "f 1 2 3\nf 1 2 5\nf 5 6 7\nf 6 3 4\nf 2 4 3\nf 7 1 2\n");
  recorded = {};
  drawFaces();
  const std::vector<std::array<float, 3>> corners = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0},
                                                     {1, 0, 0}, {1, 1, 0.5f}, {0, 1, 0}};
  EXPECT_EQ(recorded.vertices, corners);
  EXPECT_EQ(recorded.begins, (std::vector<unsigned>{GL_TRIANGLES, GL_TRIANGLES}));
  EXPECT_EQ(recorded.ends, 2);
}

}  // namespace
