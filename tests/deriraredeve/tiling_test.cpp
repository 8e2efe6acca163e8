#include "tiling.h"

#include "gl_recorder.h"
#include "test_support.h"
#include "tiling_fixture.h"
#include "vector.h"
#include "window.h"

#include <GL/gl.h>
#include <cmath>

TEST(tiling_start_up, state_after_do_init)
{
    qc_state qc = fresh_tiling();
    EXPECT_EQ(qc.dim, 5u);
    EXPECT_EQ(qc.phys_dim, 2);
    EXPECT_EQ(qc.perp_dim, 3);
    EXPECT_EQ(qc.bound_count, 10u);
    EXPECT_EQ(qc.draw_mode, unsigned(DRAW_SOLID));
    EXPECT_EQ(qc.color_by_type, 0u);
    EXPECT_EQ(visited_count(&qc), 0);
    EXPECT_EQ(qc.seen.dim, 5u);
    EXPECT_NE(qc.circle_list, 0u);
    release_tiling(&qc);
}

TEST(tiling_start_up, projection_is_orthonormal)
{
    qc_state qc = fresh_tiling();
    const double *M = qc.matrix;
    for (int i = 0; i < 5; i++) {
        for (int j = 0; j < 5; j++)
            EXPECT_TRUE(is_near(i == j, v_dot(5, M + 5 * i, M + 5 * j), 1e-15)) << i << j;
    }
    // Each lattice direction is sqrt(0.4) long in the physical plane.
    for (int j = 0; j < 5; j++)
        EXPECT_TRUE(is_near(sqrt(0.4), hypot(M[j], M[5 + j]), 1e-15));
    release_tiling(&qc);
}

TEST(tiling_start_up, lattice_origin_projects_inside_the_window)
{
    qc_state qc = fresh_tiling();
    double p[5];
    rotate_point(5, p, qc.offset, qc.matrix);
    EXPECT_TRUE(is_near(0.340049, p[0], 1e-6));
    EXPECT_TRUE(is_near(0.050338, p[1], 1e-6));
    EXPECT_EQ(test_bounds(3, p + 2, qc.bound_count, qc.bounds), 1);
    release_tiling(&qc);
}

TEST(tiling_start_up, do_init_builds_the_circle_then_the_view)
{
    qc_state qc = {};
    gl_reset();
    do_init(&qc);
    ASSERT_GE(gl_calls.size(), 44u);
    EXPECT_EQ(gl_calls[0].name, "glGenLists");
    EXPECT_EQ(gl_calls[1].name, "glNewList");
    EXPECT_EQ(gl_calls[1].args, (std::vector<double>{double(qc.circle_list), GL_COMPILE}));
    EXPECT_EQ(gl_calls[2].args[0], GL_LINE_LOOP);
    std::vector<gl_call> points = gl_calls_named("glVertex2d");
    ASSERT_EQ(points.size(), 40u);
    EXPECT_EQ(points[0].args, (std::vector<double>{1, 0}));
    EXPECT_EQ(points[10].args[0], cos(10 * 0.1570796325));
    EXPECT_EQ(points[10].args[1], sin(10 * 0.1570796325));
    EXPECT_EQ(gl_calls[43].name, "glEnd");
    EXPECT_EQ(gl_calls[44].name, "glEndList");
    EXPECT_EQ(gl_calls[45].name, "glViewport");
    EXPECT_EQ(gl_calls[45].args, (std::vector<double>{0, 0, 1024, 768}));
    release_tiling(&qc);
}

TEST(do_reshape, wide_window_spans_the_aspect_ratio)
{
    gl_reset();
    do_reshape(1024, 768);
    const std::vector<std::string> order = {"glViewport",   "glMatrixMode",   "glLoadIdentity",
                                            "gluOrtho2D",   "glMatrixMode",   "glLoadIdentity",
                                            "glClearColor", "glClear"};
    ASSERT_EQ(gl_calls.size(), order.size());
    for (size_t i = 0; i < order.size(); i++)
        EXPECT_EQ(gl_calls[i].name, order[i]);
    EXPECT_EQ(gl_calls[1].args[0], GL_PROJECTION);
    EXPECT_EQ(gl_calls[4].args[0], GL_MODELVIEW);
    // The real ratio in single precision, not an integer division.
    const double aspect = 4.0f / 3.0f;
    EXPECT_EQ(gl_calls[3].args, (std::vector<double>{-aspect, aspect, -1, 1}));
    EXPECT_EQ(gl_calls[6].args, (std::vector<double>{0, 0, 0, 0}));
}

TEST(do_reshape, tall_window_spans_the_inverse_ratio)
{
    gl_reset();
    do_reshape(600, 800);
    const double inverse = 1 / (600.0f / 800.0f);
    EXPECT_EQ(gl_calls_named("gluOrtho2D")[0].args,
              (std::vector<double>{-1, 1, -inverse, inverse}));
}
