// The tiling state: one record, `qc`, holding the projection, the lattice
// offset, the acceptance-window bounds, the circle display list and the
// current drawing mode. main() fills it once with do_init after the GL
// context exists; the lattice walk and the tile drawer read it every frame.
#pragma once

#include "visited_set.h"

enum draw_modes : unsigned {
    DRAW_SOLID = 0,
    DRAW_ELLIPSE = 1,
    DRAW_DUAL_VCOLOR = 2,
    DRAW_DUAL_PCOLOR = 3,
};

// The picture's own size, and the window's with --window; full screen it is
// shown at the screen's height, in the same 4:3 shape.
constexpr int WIDTH = 1024;  // pixels
constexpr int HEIGHT = 768;  // pixels

struct qc_state {
    unsigned draw_mode;
    unsigned color_by_type;  // flag: colour tiles by rhombus type, not grey
    unsigned circle_list;    // GL display list: unit circle outline
    visited_set seen;        // lattice points visited in the current frame
    unsigned dim;            // lattice dimension n
    int phys_dim;            // drawn coordinates d
    int perp_dim;            // perpendicular-space coordinates, dim - 2
    double *matrix;          // dim x dim, row-major, orthonormal
    double *offset;          // dim: shift added to every lattice point
    unsigned bound_count;
    double *bounds;          // bound_count x perp_dim
};

// The five-fold projection and offset, then the view for a screen of this size.
void do_init(qc_state *qc, int screen_width = WIDTH, int screen_height = HEIGHT);
void init_with_matrices(qc_state *qc, unsigned n, const double *M, const double *offset);
void make_wirec(qc_state *qc);
// Shows [-4/3, 4/3] x [-1, 1] in the largest centred 4:3 part of a w x h
// screen, and clears the whole screen black.
void do_reshape(int w, int h);
