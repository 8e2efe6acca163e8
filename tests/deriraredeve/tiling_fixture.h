// Tiling tests share a freshly started state and a reading of the recorded
// solid-mode frame as a list of rhombi.
#pragma once

#include "tiling.h"

#include <gtest/gtest.h>
#include <vector>

// A state as do_init leaves it, with the GL recorder cleared afterwards.
qc_state fresh_tiling();
// Frees what start-up allocated (the program keeps it until exit).
void release_tiling(qc_state *qc);

struct drawn_rhombus {
    double x[4], y[4];  // A, B, C, D: base, corner_i, corner_ij, corner_j
    float fill[3];      // fill colour
};

// The rhombi of a recorded solid-mode frame, checking each one's call pattern.
std::vector<drawn_rhombus> recorded_solid_rhombi();
// 1 for a thin rhombus (36 degree corner), 0 for a thick one, by its angles.
int thin_by_angle(const drawn_rhombus &r);
// The lattice points in the visited set, in ascending order; found by
// scanning the table's slots, not by trusting its count.
std::vector<std::vector<int>> visited_points(const qc_state *qc);
// Lattice points in the visited set.
int visited_count(const qc_state *qc);
