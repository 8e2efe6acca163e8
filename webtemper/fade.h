// Fading and collection: advances the opacity of every fading vertex and
// edge by the elapsed time and frees the records whose fade-out has ended.
// The main loop calls fade_step once per frame while anything fades.
#pragma once

// dt: seconds since the previous frame, never negative.
void fade_step(float dt);
void fade_edges(float dt);
void fade_vertices(float dt);
// Unlink and free every DEAD record; the others keep their order.
void gc_edges();
void gc_vertices();
