// The lattice walk over a visited set kept as a plain linked list, scanned
// in full for every point: the reference the hashed walk must reproduce
// call for call, and the baseline of the walk benchmark.
#pragma once

#include "tiling.h"

// One visited lattice point; new points go at the head of the list.
struct seen_node {
    seen_node *next;
    int *coords;  // dim ints, its own copy
};

// 1 when point is in the list; otherwise adds a node for it at the head, 0.
int plain_seen_vertex_test(seen_node **seen, unsigned dim, const int *point);
// Frees every node and sets the list to null.
void plain_unsee_vertices(seen_node **seen);
// The walk of recurse, with the list in place of qc's visited set.
void plain_recurse(qc_state *qc, seen_node **seen, int *point, int depth);
// The frame of do_draw over the list, which is empty again afterwards.
void plain_do_draw(qc_state *qc, seen_node **seen);
