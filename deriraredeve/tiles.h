// Tile drawing: finishes the acceptance test of a candidate rhombus offered
// by the lattice walk and draws it in the current mode, as a filled rhombus,
// an inscribed ellipse, or its two diagonals.
#pragma once

#include "walk.h"

// Colour codes: 0 dark red, 1 blue, 2 dark grey, 3 light grey.
void set_color_from_parity(const qc_state *qc, unsigned code);

// Projects corner_i, corner_j and corner_ij in place; draws the rhombus when
// all three are tiling vertices too.
void maybe_draw_tile(qc_state *qc, unsigned i, unsigned j, const int *point,
                     tile_corners *corners);

void draw_tile_solid(const qc_state *qc, unsigned code, const tile_corners *corners);
void draw_tile_ellipse(const qc_state *qc, unsigned code, const tile_corners *corners);
void draw_tile_dual_pcolor(const qc_state *qc, unsigned code, const tile_corners *corners);
void draw_tile_dual_vcolor(const qc_state *qc, unsigned parity, const tile_corners *corners);
