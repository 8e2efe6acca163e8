#include "plain_walk.h"

#include "tiles.h"
#include "vector.h"
#include "walk.h"
#include "window.h"

#include <GL/gl.h>
#include <alloca.h>
#include <cstdlib>
#include <cstring>

int plain_seen_vertex_test(seen_node **seen, unsigned dim, const int *point)
{
    size_t size = dim * sizeof(int);
    for (seen_node *node = *seen; node != nullptr; node = node->next) {
        if (memcmp(node->coords, point, size) == 0)
            return 1;
    }
    seen_node *node = static_cast<seen_node *>(xmalloc(sizeof(seen_node)));
    node->coords = static_cast<int *>(xmalloc(size));
    memcpy(node->coords, point, size);
    node->next = *seen;
    *seen = node;
    return 0;
}

void plain_unsee_vertices(seen_node **seen)
{
    seen_node *node = *seen;
    while (node != nullptr) {
        seen_node *next = node->next;
        free(node->coords);
        free(node);
        node = next;
    }
    *seen = nullptr;
}

static void plain_offer_tiles(qc_state *qc, const int *point, tile_corners *corners)
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

void plain_recurse(qc_state *qc, seen_node **seen, int *point, int depth)
{
    if (depth == 0)
        return;
    if (plain_seen_vertex_test(seen, qc->dim, point))
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
    plain_offer_tiles(qc, point, &corners);
    for (unsigned i = 0; i < n; i++) {
        point[i] += 1;
        plain_recurse(qc, seen, point, depth - 1);
        point[i] -= 2;
        plain_recurse(qc, seen, point, depth - 1);
        point[i] += 1;
    }
}

void plain_do_draw(qc_state *qc, seen_node **seen)
{
    int *point = static_cast<int *>(alloca(qc->dim * sizeof(int)));
    memset(point, 0, qc->dim * sizeof(int));
    glClear(GL_COLOR_BUFFER_BIT);
    glPushMatrix();
    // One physical unit is 0.2 view units, as in do_draw.
    glScalef(0.2f, 0.2f, 1);
    glColor3f(1, 1, 1);
    plain_recurse(qc, seen, point, WALK_DEPTH);
    plain_unsee_vertices(seen);
    glPopMatrix();
}
