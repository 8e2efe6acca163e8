#include "plain_repel.h"

#include "graph.h"

#include <cmath>

void plain_repel(float k, float k2)
{
    for (vertex *v = first_vertex; v != nullptr; v = v->next) {
        v->dx = 0;
        v->dy = 0;
        bool passed_v = false;
        for (const vertex *u = first_vertex; u != nullptr; u = u->next) {
            if (u == v) {
                passed_v = true;
                continue;
            }
            float ddx = v->x - u->x;
            float ddy = v->y - u->y;
            float d = hypotf(ddx, ddy);
            if (d == 0) {
                // No direction: the earlier of the two goes to +x.
                v->dx += passed_v ? k : -k;
                continue;
            }
            float f = k2 / d;
            v->dx += ddx / d * f;
            v->dy += ddy / d * f;
        }
    }
}
