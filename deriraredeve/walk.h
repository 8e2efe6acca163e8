// The per-frame lattice walk: a depth-first search from the lattice origin
// that finds the tiling's vertices and offers each one's ten candidate
// rhombi to the tile drawer. main() calls do_draw once per frame.
#pragma once

#include "tiling.h"

// One candidate rhombus: five vectors of dim doubles, scratch of one walk step.
struct tile_corners {
    double *base;            // lattice point + offset, unprojected
    double *corner_i;        // base + e_i, unprojected until the drawer projects it
    double *corner_j;        // base + e_j
    double *corner_ij;       // base + e_i + e_j
    double *base_projected;  // matrix * base
};

// The depth limit of one frame's walk, in lattice steps.
constexpr int WALK_DEPTH = 50;

void do_draw(qc_state *qc);
void recurse(qc_state *qc, int *point, int depth);
// 1 when point was already visited this frame; otherwise records it, 0.
int seen_vertex_test(qc_state *qc, const int *point);
// Empties the visited set; its memory is kept for the next frame.
void unsee_vertices(qc_state *qc);
