#include "repel.h"

#include "graph.h"
#include "repel_block.h"

#include <cstdlib>

// Positions and push sums of the current step. They only grow, so steps on
// a graph that keeps its size allocate nothing.
static float *pos_x;
static float *pos_y;
static float *sum_x;
static float *sum_y;
static int work_capacity; // floats in each array

static void reserve_work(int n)
{
    int padded = repel_padded_count(n);
    if (padded <= work_capacity)
        return;
    int capacity = padded > 2 * work_capacity ? padded : 2 * work_capacity;
    free(pos_x);
    pos_x = static_cast<float *>(graph_alloc(4 * sizeof(float) * capacity));
    pos_y = pos_x + capacity;
    sum_x = pos_y + capacity;
    sum_y = sum_x + capacity;
    work_capacity = capacity;
}

// Copies the positions of the n vertices in list order, pads them with
// zeros and clears every sum.
static void gather_positions(int n)
{
    int i = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next, i++) {
        pos_x[i] = v->x;
        pos_y[i] = v->y;
    }
    int padded = repel_padded_count(n);
    for (; i < padded; i++) {
        pos_x[i] = 0;
        pos_y[i] = 0;
    }
    for (i = 0; i < padded; i++) {
        sum_x[i] = 0;
        sum_y[i] = 0;
    }
}

static void scatter_sums()
{
    int i = 0;
    for (vertex *v = first_vertex; v != nullptr; v = v->next, i++) {
        v->dx = sum_x[i];
        v->dy = sum_y[i];
    }
}

void repel_vertices(float k, float k2)
{
    reserve_work(vertex_count);
    gather_positions(vertex_count);
    run_repel_kernel({pos_x, pos_y, sum_x, sum_y, vertex_count, k, k2});
    scatter_sums();
}
