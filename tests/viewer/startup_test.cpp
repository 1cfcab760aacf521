// What start-up hands to GLUT and GL: the model menu and the projection.
#include <GL/glut.h>
#include <gtest/gtest.h>

#include "gl_recorder.h"
#include "loader.h"
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

}  // namespace
