#include "tiling.h"

#include "vector.h"
#include "window.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <cmath>
#include <type_traits>

static_assert(std::is_same<GLuint, unsigned>::value, "circle_list holds a GL list name");

constexpr unsigned LATTICE_DIM = 5;
constexpr int PHYS_DIM = 2;
constexpr int CIRCLE_POINTS = 40;
// The circle's angle step: 6.2831853 / 40, slightly short of 2 pi / 40.
constexpr double CIRCLE_STEP = 0.1570796325;  // radians

// Rows 0 and 1 are 2cos and 2sin of 72 j degrees, rows 2 and 3 the same at
// 144 j degrees, row 4 is constant; scaled by 1/sqrt(10) it is orthonormal.
static void five_fold_matrix(double *M)
{
    const double phi = 1.618033988749895;
    const double psi = -0.6180339887498949;
    const double s = sqrt(3.0 - phi);
    const double t = phi * s;
    const double r = 1.4142135623730951;
    const double scale = 0.31622776601683794;
    const double rows[LATTICE_DIM * LATTICE_DIM] = {
        2, -psi, -phi, -phi, -psi,
        0, t, s, -s, -t,
        2, -phi, -psi, -psi, -phi,
        0, s, -t, t, -s,
        r, r, r, r, r,
    };
    v_copy(LATTICE_DIM * LATTICE_DIM, M, rows);
    v_s_mul(LATTICE_DIM * LATTICE_DIM, M, scale);
}

void do_init(qc_state *qc, int screen_width, int screen_height)
{
    static const double offset[LATTICE_DIM] = {0.0, 0.3, -0.45, -0.1, 0.0};
    double matrix[LATTICE_DIM * LATTICE_DIM];
    five_fold_matrix(matrix);
    init_with_matrices(qc, LATTICE_DIM, matrix, offset);
    do_reshape(screen_width, screen_height);
}

void init_with_matrices(qc_state *qc, unsigned n, const double *M, const double *offset)
{
    qc->dim = n;
    qc->phys_dim = PHYS_DIM;
    qc->perp_dim = static_cast<int>(n) - PHYS_DIM;
    qc->seen = empty_visited_set(n);
    qc->matrix = v_dup(n * n, M);
    qc->offset = v_dup(n, offset);
    qc->bounds = compute_bounds(&qc->bound_count, n, M, PHYS_DIM);
    make_wirec(qc);
    qc->draw_mode = DRAW_SOLID;
    qc->color_by_type = 0;
}

void make_wirec(qc_state *qc)
{
    qc->circle_list = glGenLists(1);
    glNewList(qc->circle_list, GL_COMPILE);
    glBegin(GL_LINE_LOOP);
    for (int i = 0; i < CIRCLE_POINTS; i++)
        glVertex2d(cos(i * CIRCLE_STEP), sin(i * CIRCLE_STEP));
    glEnd();
    glEndList();
}

// The picture keeps the 4:3 shape of WIDTH x HEIGHT on any screen: as tall
// as the screen (as wide, on a screen taller than 4:3), centred, and the
// same view of the plane, whatever the screen's shape. The clear covers the
// whole screen, since it ignores the viewport: the bars stay black.
void do_reshape(int w, int h)
{
    int view_w = w;
    int view_h = h;
    if (w * HEIGHT > h * WIDTH)
        view_w = h * WIDTH / HEIGHT;
    else
        view_h = w * HEIGHT / WIDTH;
    glViewport((w - view_w) / 2, (h - view_h) / 2, view_w, view_h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    const float aspect = static_cast<float>(WIDTH) / static_cast<float>(HEIGHT);
    gluOrtho2D(-aspect, aspect, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
}
