#include "walk.h"

#include "tiles.h"
#include "vector.h"
#include "window.h"

#include <GL/gl.h>
#include <alloca.h>
#include <cstring>

// One physical unit is this many view units: the 1024 x 768 view then shows
// physical x in [-6.67, 6.67] and y in [-5, 5].
constexpr float PHYSICAL_SCALE = 0.2f;

void do_draw(qc_state *qc)
{
    int *point = static_cast<int *>(alloca(qc->dim * sizeof(int)));
    memset(point, 0, qc->dim * sizeof(int));
    glClear(GL_COLOR_BUFFER_BIT);
    glPushMatrix();
    glScalef(PHYSICAL_SCALE, PHYSICAL_SCALE, 1);
    glColor3f(1, 1, 1);
    recurse(qc, point, WALK_DEPTH);
    unsee_vertices(qc);
    glPopMatrix();
}

int seen_vertex_test(qc_state *qc, const int *point)
{
    return visit_point(&qc->seen, point);
}

void unsee_vertices(qc_state *qc)
{
    clear_visited_set(&qc->seen);
}

// Offers the ten rhombi spanned at base by two lattice directions i < j.
static void offer_tiles(qc_state *qc, const int *point, tile_corners *corners)
{
    unsigned n = qc->dim;
    for (unsigned i = 0; i + 1 < n; i++) {
        for (unsigned j = i + 1; j < n; j++) {
            v_copy(n, corners->corner_i, corners->base);
            v_copy(n, corners->corner_j, corners->base);
            v_copy(n, corners->corner_ij, corners->base);
            corners->corner_i[i] += 1;
            corners->corner_ij[i] += 1;
            corners->corner_j[j] += 1;
            corners->corner_ij[j] += 1;
            maybe_draw_tile(qc, i, j, point, corners);
        }
    }
}

void recurse(qc_state *qc, int *point, int depth)
{
    if (depth == 0)
        return;
    // A point is recorded before it is tested, so each is tested once a frame.
    if (seen_vertex_test(qc, point))
        return;
    unsigned n = qc->dim;
    double *scratch = static_cast<double *>(alloca(5 * n * sizeof(double)));
    memset(scratch, 0, 4 * n * sizeof(double));
    tile_corners corners = {scratch, scratch + n, scratch + 2 * n, scratch + 3 * n,
                            scratch + 4 * n};
    for (unsigned i = 0; i < n; i++)
        corners.base[i] = point[i];
    v_add(n, corners.base, qc->offset);
    rotate_point(n, corners.base_projected, corners.base, qc->matrix);
    if (!test_bounds(qc->perp_dim, corners.base_projected + qc->phys_dim, qc->bound_count,
                     qc->bounds))
        return;
    offer_tiles(qc, point, &corners);
    // Neighbours in the order +e0, -e0, +e1, -e1, ...: the patch drawn
    // depends on it, since a point is expanded only on its first visit.
    for (unsigned i = 0; i < n; i++) {
        point[i] += 1;
        recurse(qc, point, depth - 1);
        point[i] -= 2;
        recurse(qc, point, depth - 1);
        point[i] += 1;
    }
}
