// Drawing the graph with immediate-mode OpenGL: the grey outline of the
// layout rectangle, every edge as a line shaded between its ends' colours,
// and every vertex as a small circle from one display list. main() calls
// setup_circle_list and setup_view once, and draw_graph every frame.
#pragma once

// GL display list of the vertex circle; 0 until setup_circle_list has run.
extern unsigned circle_list;

void setup_circle_list();
// Projection of bbox onto the largest centred 4:3 part of a screen of this
// size, blending and smooth shading.
void setup_view(int width, int height);
void draw_graph();
void draw_boundary();
void draw_edges();
void draw_vertices();
