// Projection, camera and drawing.
#include <cmath>

#include "gl_headers.h"
#include "mesh.h"
#include "view.h"

int windowWidth = 800;
int windowHeight = 600;
float rotX = 0.0f;
float rotY = 0.0f;
float rotZ = 0.0f;
float scale = 1.0f;
bool filled = false;
float eye[3] = {0.0f, 0.0f, 0.0f};
float center[3] = {0.0f, 0.0f, 0.0f};
float heading = 0.0f;

void reshape(int width, int height) {
  if (height == 0) height = 1;
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glViewport(0, 0, width, height);
  glClearColor(0.5f, 0.5f, 0.5f, 1.0f);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(60.0, static_cast<double>(width) / static_cast<double>(height), 0.01, 1000.0);
  eye[2] = 10.0f;
  updateCamera();
  glEnable(GL_DEPTH_TEST);
  windowWidth = width;
  windowHeight = height;
}

void updateCamera() {
  center[2] = eye[2] - std::cos(heading);
  center[0] = eye[0] + std::sin(heading);
}

void display() {
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(eye[0], eye[1], eye[2], center[0], center[1], center[2], 0.0, 1.0, 0.0);
  glRotatef(rotX, 1.0f, 0.0f, 0.0f);
  glRotatef(rotY, 0.0f, 1.0f, 0.0f);
  glRotatef(rotZ, 0.0f, 0.0f, 1.0f);
  glScalef(scale, scale, scale);
  glPolygonMode(GL_FRONT_AND_BACK, filled ? GL_FILL : GL_LINE);
  glColor3f(0.75f, 0.75f, 0.75f);
  drawFaces();
  glutSwapBuffers();
}

static bool isFinite(const Vertex* v) {
  return std::isfinite(v->x) && std::isfinite(v->y) && std::isfinite(v->z);
}

// Mesa's software rasterisers bin a frame's triangles until the frame is
// flushed (or their bins are full); a flush every few thousand triangles has
// them draw what they hold and reuse its memory: a frame of 3 M triangles
// peaked about 60 MB lower with llvmpipe, and drew no slower.
constexpr unsigned kTrianglesPerFlush = 4096;

// A corner at infinity or not-a-number has no place on screen; its triangle
// is left out rather than handed to the rasteriser.
void drawFaces() {
  unsigned sinceFlush = 0;
  for (const Face* f = currentFaceHead->next; f != nullptr; f = f->next) {
    if (!isFinite(f->v[0]) || !isFinite(f->v[1]) || !isFinite(f->v[2])) continue;
    glBegin(GL_TRIANGLES);
    glVertex3fv(&f->v[0]->x);
    glVertex3fv(&f->v[1]->x);
    glVertex3fv(&f->v[2]->x);
    glEnd();
    if (++sinceFlush == kTrianglesPerFlush) {
      glFlush();
      sinceFlush = 0;
    }
  }
}
