#include "plain_anneal.h"

#include "anneal.h"
#include "graph.h"

#include <cmath>

namespace {

constexpr float COOL_FACTOR = 0.975f;          // per step
constexpr float FREEZE_TEMPERATURE = 0.00001f; // layout units

struct delta {
    float d, nx, ny;
};

delta get_normalized_delta(const vertex *p, const vertex *q)
{
    float ddx = p->x - q->x;
    float ddy = p->y - q->y;
    float d = hypotf(ddx, ddy);
    if (d == 0)
        return {0, 0, 0};
    return {d, ddx / d, ddy / d};
}

void repel(vertex *v, float k, float k2)
{
    v->dx = 0;
    v->dy = 0;
    int v_passed = 0;
    for (const vertex *u = first_vertex; u != nullptr; u = u->next) {
        if (u == v) {
            v_passed = 1;
            continue;
        }
        delta n = get_normalized_delta(v, u);
        if (n.d == 0) {
            v->dx += v_passed ? k : -k;
            continue;
        }
        float f = k2 / n.d;
        v->dx += n.nx * f;
        v->dy += n.ny * f;
    }
}

void attract(const edge *e, float k)
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

void huge_direction(float dx, float dy, float *ux, float *uy)
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

void move_vertex(vertex *v)
{
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

} // namespace

void plain_anneal_step()
{
    if (temperature < FREEZE_TEMPERATURE)
        return;
    if (vertex_count == 0)
        return;
    float area = (bbox.xmax - bbox.xmin) * (bbox.ymax - bbox.ymin);
    float k = sqrtf(area / vertex_count);
    float k2 = k * k;
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        repel(v, k, k2);
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        attract(e, k);
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        move_vertex(v);
    temperature = temperature * COOL_FACTOR;
}
