// The GLUT, OpenGL and GLU declarations, from wherever the system keeps them:
// Apple ships GLUT and OpenGL as frameworks (GLUT/glut.h, whose OpenGL is
// deprecated there and would warn on every call), every other system as
// GL/glut.h beside GL/gl.h and GL/glu.h. Only the viewer and the model menu's
// handler include this, and only they link the libraries.
#pragma once

#ifdef __APPLE__
#ifndef GL_SILENCE_DEPRECATION
#define GL_SILENCE_DEPRECATION
#endif
#include <GLUT/glut.h>
#else
#include <GL/glu.h>
#include <GL/glut.h>
#endif
