// The mouse and keyboard handlers' effects on the view state, and the redraw
// requests they make.
#include <gtest/gtest.h>

#include <string>

#include "gl_headers.h"
#include "loader.h"
#include "mesh_fixtures.h"
#include "redraw_counter.h"
#include "view.h"

namespace {

class Input : public ::testing::Test {
 protected:
  // The view and mouse state as the program starts with it.
  void SetUp() override {
    resetStore();
    rotX = rotY = rotZ = 0.0f;
    scale = 1.0f;
    filled = false;
    mouseButton = 0;
    mouseState = 0;
    lastX = lastY = 0;
    redrawRequests = 0;
  }

  static void loadCube() { loadMesh(dataPath("Cube.obj").c_str()); }

  static void expectStill() {
    EXPECT_EQ(rotX, 0.0f);
    EXPECT_EQ(rotY, 0.0f);
    EXPECT_EQ(rotZ, 0.0f);
  }
};

TEST_F(Input, ZoomInThenOutComesBack) {
  keyboard('z', 0, 0);
  EXPECT_FLOAT_EQ(scale, 1.125f);
  keyboard('x', 0, 0);
  EXPECT_NEAR(scale, 1.0f, 1e-6f);
  for (int i = 0; i < 5; ++i) keyboard('x', 0, 0);
  EXPECT_NEAR(scale, 1.0 / (1.125 * 1.125 * 1.125 * 1.125 * 1.125), 1e-6);
  for (int i = 0; i < 5; ++i) keyboard('z', 0, 0);
  EXPECT_NEAR(scale, 1.0f, 1e-5f);
  EXPECT_EQ(redrawRequests, 12);
}

TEST_F(Input, OTogglesFilledTriangles) {
  keyboard('o', 0, 0);
  EXPECT_TRUE(filled);
  keyboard('o', 0, 0);
  EXPECT_FALSE(filled);
  EXPECT_EQ(redrawRequests, 2);
}

TEST_F(Input, SRunsOneSubdivisionPass) {
  loadCube();
  keyboard('s', 0, 0);
  EXPECT_EQ(countFaces(kCurrentGeneration), 48);
  EXPECT_EQ(countVertices(), 44);
  EXPECT_EQ(redrawRequests, 1);
}

TEST_F(Input, OtherKeysOnlyAskForARedraw) {
  loadCube();
  const std::string upper = "SZXOVEF";
  for (char key : upper + "1q \r") {
    SCOPED_TRACE(key);
    redrawRequests = 0;
    ::testing::internal::CaptureStdout();
    keyboard(static_cast<unsigned char>(key), 10, 20);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(redrawRequests, 1);
    EXPECT_EQ(countFaces(kCurrentGeneration), 12);
    EXPECT_EQ(scale, 1.0f);
    EXPECT_FALSE(filled);
    expectStill();
  }
}

TEST_F(Input, PressAndReleaseWithoutMotionTurnsNothing) {
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 30, 40);
  motion(30, 40);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 30, 40);
  expectStill();
  EXPECT_EQ(redrawRequests, 4) << "press, motion (twice), release";
}

TEST_F(Input, LeftDragTurnsFivePixelsADegree) {
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 100, 100);
  motion(200, 100);
  EXPECT_FLOAT_EQ(rotY, 20.0f);
  EXPECT_EQ(rotX, 0.0f);
  motion(200, 150);
  EXPECT_FLOAT_EQ(rotY, 20.0f);
  EXPECT_FLOAT_EQ(rotX, 10.0f);
  // Each step is measured from the previous one.
  for (int x = 199; x >= 150; --x) motion(x, 150);
  EXPECT_NEAR(rotY, 10.0f, 1e-4f);
  motion(150, 147);
  EXPECT_FLOAT_EQ(rotX, 9.4f);
  EXPECT_EQ(rotZ, 0.0f);
  redrawRequests = 0;
  motion(151, 147);
  EXPECT_EQ(redrawRequests, 2) << "a turning step asks twice";

  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 150, 147);
  motion(400, 400);
  EXPECT_NEAR(rotY, 10.2f, 1e-4f) << "turned after the release";
  EXPECT_FLOAT_EQ(rotX, 9.4f);
}

TEST_F(Input, MiddleDragTurnsOnlyBeforeTheFirstLeftRelease) {
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 50, 50);
  motion(50, 25);  // measured from (0, 0): the middle press recorded nothing
  EXPECT_FLOAT_EQ(rotY, 10.0f);
  EXPECT_FLOAT_EQ(rotX, 5.0f);

  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 0, 0);
  mouse(GLUT_LEFT_BUTTON, GLUT_UP, 0, 0);
  mouse(GLUT_MIDDLE_BUTTON, GLUT_DOWN, 0, 0);
  redrawRequests = 0;
  motion(100, 100);
  EXPECT_FLOAT_EQ(rotY, 10.0f);
  EXPECT_FLOAT_EQ(rotX, 5.0f);
  EXPECT_EQ(redrawRequests, 1) << "motion asks for a redraw even when nothing turns";
}

TEST_F(Input, OtherButtonsAreIgnoredWithoutARedraw) {
  mouse(GLUT_LEFT_BUTTON, GLUT_DOWN, 10, 10);
  redrawRequests = 0;
  const int ignored[][2] = {{GLUT_RIGHT_BUTTON, GLUT_DOWN},
                            {GLUT_RIGHT_BUTTON, GLUT_UP},
                            {GLUT_MIDDLE_BUTTON, GLUT_UP},
                            {3, GLUT_DOWN},
                            {4, GLUT_UP},
                            {GLUT_LEFT_BUTTON, 7}};
  for (const auto& event : ignored) mouse(event[0], event[1], 90, 90);
  EXPECT_EQ(redrawRequests, 0);
  EXPECT_EQ(lastX, 10);
  EXPECT_EQ(lastY, 10);
  motion(15, 10);  // the left button still counts as down
  EXPECT_FLOAT_EQ(rotY, 1.0f);
}

TEST_F(Input, MenuChoiceAsksForARedraw) {
  loadCube();
  modelMenu(0);
  EXPECT_EQ(countVertices(), 0);
  EXPECT_EQ(redrawRequests, 1);
}

using InputDeathTest = Input;

TEST_F(InputDeathTest, EscapeEndsWithStatusZero) {
  loadCube();
  EXPECT_EXIT(keyboard(27, 0, 0), ::testing::ExitedWithCode(0), "");
}

}  // namespace
