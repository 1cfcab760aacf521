// The arguments of the GL and GLUT calls that set up the menu and the
// projection and that draw triangles, recorded instead of sent to a window
// (see gl_recorder.cpp).
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

struct RecordedCalls {
  void (*menuHandler)(int) = nullptr;                 // glutCreateMenu
  std::vector<std::pair<std::string, int>> entries;  // glutAddMenuEntry, in call order
  std::vector<int> attachedButtons;                  // glutAttachMenu
  std::vector<std::vector<double>> perspectives;     // gluPerspective: fovy, aspect, near, far
  std::vector<unsigned> begins;                      // glBegin modes
  std::vector<std::array<float, 3>> vertices;        // glVertex3fv
  int ends = 0;                                      // glEnd
};

// Tests reset it.
extern RecordedCalls recorded;
