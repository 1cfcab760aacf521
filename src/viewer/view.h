// The viewer: window start-up, projection and camera, drawing of the current
// face list, the mouse and keyboard commands and the console listings. The
// view state is global, like GLUT's own: the handlers below are the only
// writers. The viewer reads the mesh store and never owns its records.
#pragma once

#include <cstdio>

// Window and view state.
extern int windowWidth;   // pixels; 800 at start, then each reshape's width
extern int windowHeight;  // pixels; 600 at start, then each reshape's height (at least 1)
extern float rotX;        // degrees about x, from vertical drags
extern float rotY;        // degrees about y, from horizontal drags
extern float rotZ;        // degrees about z; nothing changes it
extern float scale;       // uniform model scale, from keys z and x
extern bool filled;       // filled triangles (true) or outlines (false), key o
extern float eye[3];      // camera position; reshape puts it at (0, 0, 10)
extern float center[3];   // camera target, one unit ahead of the eye
extern float heading;     // radians; the camera looks down -z at 0

// Mouse state: the left button's last press and whether it is still down.
extern int mouseButton;
extern int mouseState;    // 0 (down) until the first left release, then -1
extern int lastX, lastY;  // pointer at the press or last drag step
extern float zoomFactor;  // 1.125 per z or x

// The model menu on the right button: one entry per row of kModels, in table
// order, handled by modelMenu.
void attachModelMenu();

void reshape(int width, int height);
void display();
void updateCamera();
void drawFaces();

void mouse(int button, int state, int x, int y);
void motion(int x, int y);
// Escape ends the process with status 0; other keys act (see the table in
// input.cpp) and every key but Escape asks for a redraw.
void keyboard(unsigned char key, int x, int y);

// The console listings, one record per line (two per edge, three per face),
// flushed so a reader on a pipe sees each listing whole.
void printVertexListing(std::FILE* out);
void printEdgeListing(std::FILE* out);
void printFaceListing(std::FILE* out);
