// Redraw requests of the handlers, counted instead of sent to a window.
#pragma once

// How many times glutPostRedisplay was called; tests reset it.
extern int redrawRequests;
