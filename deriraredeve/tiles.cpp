#include "tiles.h"

#include "vector.h"
#include "window.h"

#include <GL/gl.h>

// Thin rhombi (36 and 144 degrees) are spanned by directions two or three
// apart; thick ones (72 and 108 degrees) by neighbours.
static unsigned rhombus_type(unsigned i, unsigned j)
{
    return j - i == 2 || j - i == 3;
}

// The parity of the coordinate sum.
static unsigned lattice_parity(const qc_state *qc, const int *point)
{
    unsigned parity = 0;
    for (unsigned k = 0; k < qc->dim; k++)
        parity ^= static_cast<unsigned>(point[k]) & 1;
    return parity;
}

void set_color_from_parity(const qc_state *, unsigned code)
{
    static const float colors[4][3] = {
        {0.5f, 0.1f, 0.1f},
        {0.2f, 0.2f, 0.9f},
        {0.2f, 0.2f, 0.2f},
        {0.7f, 0.7f, 0.7f},
    };
    glColor3f(colors[code][0], colors[code][1], colors[code][2]);
}

static int corner_accepted(const qc_state *qc, double *corner)
{
    rotate_point(qc->dim, corner, corner, qc->matrix);
    return test_bounds(qc->perp_dim, corner + qc->phys_dim, qc->bound_count, qc->bounds);
}

void maybe_draw_tile(qc_state *qc, unsigned i, unsigned j, const int *point,
                     tile_corners *corners)
{
    unsigned type = rhombus_type(i, j);
    unsigned parity = lattice_parity(qc, point);
    if (!corner_accepted(qc, corners->corner_i) || !corner_accepted(qc, corners->corner_j) ||
        !corner_accepted(qc, corners->corner_ij))
        return;
    switch (qc->draw_mode) {
    case DRAW_SOLID:
        draw_tile_solid(qc, qc->color_by_type ? type : 2, corners);
        break;
    case DRAW_ELLIPSE:
        draw_tile_ellipse(qc, qc->color_by_type ? type : 3, corners);
        break;
    case DRAW_DUAL_VCOLOR:
        draw_tile_dual_vcolor(qc, parity, corners);
        break;
    case DRAW_DUAL_PCOLOR:
        draw_tile_dual_pcolor(qc, qc->color_by_type ? type : 3, corners);
        break;
    }
}

static void vertex_of(const double *corner)
{
    glVertex2d(corner[0], corner[1]);
}

// The outline A, B, C, D: base, corner_i, corner_ij, corner_j.
static void rhombus_outline(const tile_corners *corners)
{
    vertex_of(corners->base_projected);
    vertex_of(corners->corner_i);
    vertex_of(corners->corner_ij);
    vertex_of(corners->corner_j);
}

void draw_tile_solid(const qc_state *qc, unsigned code, const tile_corners *corners)
{
    set_color_from_parity(qc, code);
    glBegin(GL_QUADS);
    rhombus_outline(corners);
    glEnd();
    glColor3f(1, 1, 1);
    glBegin(GL_LINE_LOOP);
    rhombus_outline(corners);
    glEnd();
}

void draw_tile_ellipse(const qc_state *qc, unsigned code, const tile_corners *corners)
{
    const double *a = corners->base_projected, *b = corners->corner_i;
    const double *c = corners->corner_ij, *d = corners->corner_j;
    // Maps the unit circle onto the ellipse with the two half-diagonals as
    // conjugate semi-diameters: it passes through all four corners.
    const double m[16] = {
        (c[0] - a[0]) / 2, (c[1] - a[1]) / 2, 0, 0,
        (d[0] - b[0]) / 2, (d[1] - b[1]) / 2, 0, 0,
        0, 0, 1, 0,
        (a[0] + c[0]) / 2, (a[1] + c[1]) / 2, 0, 1,
    };
    glPushMatrix();
    glMultMatrixd(m);
    set_color_from_parity(qc, code);
    glCallList(qc->circle_list);
    glPopMatrix();
}

void draw_tile_dual_pcolor(const qc_state *qc, unsigned code, const tile_corners *corners)
{
    set_color_from_parity(qc, code);
    glBegin(GL_LINES);
    vertex_of(corners->base_projected);
    vertex_of(corners->corner_ij);
    vertex_of(corners->corner_i);
    vertex_of(corners->corner_j);
    glEnd();
}

void draw_tile_dual_vcolor(const qc_state *qc, unsigned parity, const tile_corners *corners)
{
    glBegin(GL_LINES);
    set_color_from_parity(qc, parity);
    vertex_of(corners->base_projected);
    vertex_of(corners->corner_ij);
    set_color_from_parity(qc, parity ^ 1);
    vertex_of(corners->corner_i);
    vertex_of(corners->corner_j);
    glEnd();
}
