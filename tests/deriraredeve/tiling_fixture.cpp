#include "tiling_fixture.h"

#include "gl_recorder.h"
#include "walk.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>
#include <cstdlib>

qc_state fresh_tiling()
{
    qc_state qc = {};
    do_init(&qc);
    gl_reset();
    return qc;
}

void release_tiling(qc_state *qc)
{
    free_visited_set(&qc->seen);
    free(qc->matrix);
    free(qc->offset);
    free(qc->bounds);
}

// Reads GL_QUADS A B C D, then white, GL_LINE_LOOP A B C D, starting at the
// fill colour at position i.
static drawn_rhombus read_rhombus(size_t i)
{
    drawn_rhombus r;
    const std::vector<gl_call> &c = gl_calls;
    EXPECT_EQ(c[i].name, "glColor3f");
    for (int k = 0; k < 3; k++)
        r.fill[k] = float(c[i].args[k]);
    EXPECT_EQ(c[i + 1].name, "glBegin");
    EXPECT_EQ(c[i + 1].args[0], GL_QUADS);
    for (int k = 0; k < 4; k++) {
        EXPECT_EQ(c[i + 2 + k].name, "glVertex2d");
        r.x[k] = c[i + 2 + k].args[0];
        r.y[k] = c[i + 2 + k].args[1];
    }
    EXPECT_EQ(c[i + 6].name, "glEnd");
    EXPECT_EQ(c[i + 7].name, "glColor3f");
    EXPECT_EQ(c[i + 7].args, (std::vector<double>{1, 1, 1}));
    EXPECT_EQ(c[i + 8].name, "glBegin");
    EXPECT_EQ(c[i + 8].args[0], GL_LINE_LOOP);
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(c[i + 9 + k].args, (std::vector<double>{r.x[k], r.y[k]}));
    EXPECT_EQ(c[i + 13].name, "glEnd");
    return r;
}

std::vector<drawn_rhombus> recorded_solid_rhombi()
{
    std::vector<drawn_rhombus> rhombi;
    // Frame prologue: clear, push, scale, white.
    for (size_t i = 4; i + 1 < gl_calls.size(); i += 14)
        rhombi.push_back(read_rhombus(i));
    return rhombi;
}

int thin_by_angle(const drawn_rhombus &r)
{
    double ux = r.x[1] - r.x[0], uy = r.y[1] - r.y[0];
    double vx = r.x[3] - r.x[0], vy = r.y[3] - r.y[0];
    double cosine = (ux * vx + uy * vy) / (hypot(ux, uy) * hypot(vx, vy));
    // cos 36 = 0.809, cos 72 = 0.309.
    return fabs(cosine) > 0.5;
}

std::vector<std::vector<int>> visited_points(const qc_state *qc)
{
    std::vector<std::vector<int>> points;
    for (unsigned slot = 0; slot < qc->seen.capacity; slot++) {
        const int *point = visited_slot(&qc->seen, slot);
        if (point != nullptr)
            points.emplace_back(point, point + qc->dim);
    }
    std::sort(points.begin(), points.end());
    return points;
}

int visited_count(const qc_state *qc)
{
    return int(visited_points(qc).size());
}
