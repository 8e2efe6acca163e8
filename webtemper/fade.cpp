#include "fade.h"

#include "graph.h"

#include <cmath>
#include <cstdlib>

constexpr double FADE_RATE = 5.0; // alpha per second, in and out alike

// Advances one record's fade; returns 1 when its fade has just ended.
// The sum is formed in double and rounded before the clamp, so a finished
// fade ends at exactly 1 or exactly 0.
static int advance_fade(float *alpha, int *state, float dt)
{
    switch (*state) {
    case FADING_IN:
        *alpha = fminf(1, static_cast<float>(*alpha + dt * FADE_RATE));
        if (*alpha >= 1) {
            *state = STEADY;
            return 1;
        }
        return 0;
    case FADING_OUT:
        *alpha = fmaxf(0, static_cast<float>(*alpha + dt * -FADE_RATE));
        if (*alpha <= 0) {
            *state = DEAD;
            return 1;
        }
        return 0;
    default:
        return 0;
    }
}

void fade_edges(float dt)
{
    for (edge *e = first_edge; e != nullptr; e = e->next)
        if (advance_fade(&e->alpha, &e->state, dt))
            fading_edge_count--;
}

void fade_vertices(float dt)
{
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        if (advance_fade(&v->alpha, &v->state, dt))
            fading_vertex_count--;
}

void gc_edges()
{
    // link is the pointer that refers to e: first_edge or a survivor's next.
    edge **link = &first_edge;
    for (edge *e = first_edge; e != nullptr;) {
        edge *next = e->next;
        if (e->state == DEAD) {
            *link = next;
            free(e);
            edge_count--;
        } else {
            link = &e->next;
        }
        e = next;
    }
}

// Frees DEAD vertices without looking at the edges: an edge never outlives
// its ends, because it fades out no later than they do and gc_edges runs
// first.
void gc_vertices()
{
    vertex **link = &first_vertex;
    for (vertex *v = first_vertex; v != nullptr;) {
        vertex *next = v->next;
        if (v->state == DEAD) {
            *link = next;
            free(v);
            vertex_count--;
        } else {
            link = &v->next;
        }
        v = next;
    }
}

// Edges go before vertices so that a vertex and its edges that die in the
// same step leave no edge pointing at a freed vertex.
void fade_step(float dt)
{
    fade_edges(dt);
    fade_vertices(dt);
    gc_edges();
    gc_vertices();
}
