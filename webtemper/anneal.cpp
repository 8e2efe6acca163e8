#include "anneal.h"

#include "repel.h"
#include "graph.h"

#include <cmath>

float temperature = 0.006f;

constexpr float HEAT_FACTOR = 1.1f;   // per heating call
constexpr float COOL_FACTOR = 0.975f; // per step or cooling call
// Below this temperature the layout is frozen; also the shortest move made.
constexpr float FREEZE_TEMPERATURE = 0.00001f; // layout units

void anneal_heat()
{
    temperature = temperature * HEAT_FACTOR;
}

void anneal_cool()
{
    temperature = temperature * COOL_FACTOR;
}

// Distance between p and q and the unit vector from q to p.
struct delta {
    float d, nx, ny;
};

// d == 0 has no direction; callers test d before using nx and ny.
static delta get_normalized_delta(const vertex *p, const vertex *q)
{
    float ddx = p->x - q->x;
    float ddy = p->y - q->y;
    float d = hypotf(ddx, ddy);
    if (d == 0)
        return {0, 0, 0};
    return {d, ddx / d, ddy / d};
}

// Pulls the two ends of e towards each other with strength d²/k.
static void attract(const edge *e, float k)
{
    delta n = get_normalized_delta(e->b, e->a);
    if (n.d == 0)
        return;
    float f = n.d * n.d / k;
    e->a->dx += n.nx * f;
    e->a->dy += n.ny * f;
    e->b->dx -= n.nx * f;
    e->b->dy -= n.ny * f;
}

// Unit direction of a displacement too long for hypotf. Infinite components
// count as ±1 and finite ones then vanish beside them; finite components
// that only overflowed in hypotf are halved back into range.
static void huge_direction(float dx, float dy, float *ux, float *uy)
{
    float sx = dx * 0.5f;
    float sy = dy * 0.5f;
    if (std::isinf(dx) || std::isinf(dy)) {
        sx = std::isinf(dx) ? copysignf(1, dx) : 0;
        sy = std::isinf(dy) ? copysignf(1, dy) : 0;
    }
    float len = hypotf(sx, sy);
    *ux = sx / len;
    *uy = sy / len;
}

// Moves v along its displacement by at most the temperature, held in bbox.
static void move_vertex(vertex *v)
{
    // Only forces from subnormal distances get here: keep NaN off positions.
    if (std::isnan(v->dx) || std::isnan(v->dy))
        return;
    float len = hypotf(v->dx, v->dy);
    float m = fminf(len, temperature);
    if (m < FREEZE_TEMPERATURE)
        return;
    float ux;
    float uy;
    if (std::isinf(len)) {
        huge_direction(v->dx, v->dy, &ux, &uy);
    } else {
        ux = v->dx / len;
        uy = v->dy / len;
    }
    float mx = ux * m;
    float my = uy * m;
    v->x = fminf(bbox.xmax, fmaxf(bbox.xmin, v->x + mx));
    v->y = fminf(bbox.ymax, fmaxf(bbox.ymin, v->y + my));
}

void anneal_step()
{
    if (temperature < FREEZE_TEMPERATURE)
        return;
    if (vertex_count == 0)
        return;
    float area = (bbox.xmax - bbox.xmin) * (bbox.ymax - bbox.ymin);
    float k = sqrtf(area / vertex_count);
    float k2 = k * k;
    // Every force comes from the positions at the start of the step.
    repel_vertices(k, k2);
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        attract(e, k);
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        move_vertex(v);
    anneal_cool();
}
