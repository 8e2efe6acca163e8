// The graph being laid out: vertices and edges in two singly linked lists
// (newest first) with their counters, the layout rectangle, and every random
// edit the key commands make. Nothing is freed here: removal starts a fade-out
// and fade.cpp frees the record once it is invisible.
#pragma once

#include <cstddef>

// Fade states shared by vertices and edges.
enum {
    STEADY = 0,     // fully shown, alpha exactly 1
    FADING_IN = 1,  // alpha rising towards 1
    FADING_OUT = 2, // alpha falling towards 0; never reversed
    DEAD = 3,       // alpha 0; freed within the same fade step
};

struct vertex {
    vertex *next; // next older vertex
    float x, y;   // position, always inside bbox
    float dx, dy; // displacement summed during one annealing step only
    float r, g, b, alpha;
    int state;
};

// Rendering hands &v.r to the GL as one RGBA colour.
static_assert(offsetof(vertex, g) == offsetof(vertex, r) + sizeof(float), "r, g contiguous");
static_assert(offsetof(vertex, b) == offsetof(vertex, r) + 2 * sizeof(float), "g, b contiguous");
static_assert(offsetof(vertex, alpha) == offsetof(vertex, r) + 3 * sizeof(float),
              "b, alpha contiguous");

struct edge {
    edge *next;    // next older edge
    vertex *a, *b; // the two ends, not owned; a is the newer one
    int state;
    float alpha;
};

struct rect {
    float xmin, xmax, ymin, ymax;
};

extern vertex *first_vertex;
extern int vertex_count;        // records in the vertex list, any state
extern int fading_vertex_count; // vertices FADING_IN or FADING_OUT
extern edge *first_edge;
extern int edge_count;
extern int fading_edge_count;
extern rect bbox; // layout rectangle; vertices stay inside it

// Never returns null: on failure prints one line and exits with status 111.
// Every allocation of the graph program goes through it.
void *graph_alloc(size_t size);

void push_vertex();
void pop_vertex();
void delete_random_vertex();
void fade_vertex(vertex *v);

// Creates the edge (a, b) without checking for an existing one.
void add_edge(vertex *a, vertex *b);
// Joins v to each other vertex not fading out, with chance min(3 / n, 0.8).
void add_random_edges(vertex *v);
// Joins one random unjoined pair; returns at once when no pair is left.
void add_random_edge();
int edge_between(const vertex *a, const vertex *b);
void fade_edge(edge *e);
void delete_edges_of(const vertex *v);
void delete_random_edge();

void randomize_position(vertex *v);
void perturb_position(vertex *v);
void randomize_color(vertex *v);
void randomize_positions();
void perturb_positions();
