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

TEST(tiling_start_up, do_init_builds_the_circle_then_the_view_for_the_screen)
{
    qc_state qc = {};
    gl_reset();
    do_init(&qc, 1920, 1080);
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
    EXPECT_EQ(gl_calls[45].args, (std::vector<double>{240, 0, 1440, 1080}));
    release_tiling(&qc);
}

TEST(do_reshape, the_picture_window_gets_the_whole_view_in_order)
{
    gl_reset();
    do_reshape(1024, 768);
    const std::vector<std::string> order = {"glViewport",   "glMatrixMode",   "glLoadIdentity",
                                            "gluOrtho2D",   "glMatrixMode",   "glLoadIdentity",
                                            "glClearColor", "glClear"};
    ASSERT_EQ(gl_calls.size(), order.size());
    for (size_t i = 0; i < order.size(); i++)
        EXPECT_EQ(gl_calls[i].name, order[i]);
    EXPECT_EQ(gl_calls[0].args, (std::vector<double>{0, 0, 1024, 768}));
    EXPECT_EQ(gl_calls[1].args[0], GL_PROJECTION);
    EXPECT_EQ(gl_calls[4].args[0], GL_MODELVIEW);
    // The real ratio in single precision, not an integer division.
    const double aspect = 4.0f / 3.0f;
    EXPECT_EQ(gl_calls[3].args, (std::vector<double>{-aspect, aspect, -1, 1}));
    EXPECT_EQ(gl_calls[6].args, (std::vector<double>{0, 0, 0, 0}));
    EXPECT_EQ(gl_calls[7].args, (std::vector<double>{GL_COLOR_BUFFER_BIT}));
}

// Any screen shows the same view in a centred 4:3 viewport, as tall as the
// screen or, on a screen taller than 4:3, as wide; the clear, which ignores
// the viewport, blackens the bars.
TEST(do_reshape, the_picture_keeps_its_shape_centred_on_any_screen)
{
    struct screen_case {
        int w, h;
        std::vector<double> viewport;
    };
    const screen_case screens[] = {
        {1920, 1080, {240, 0, 1440, 1080}},
        {960, 540, {120, 0, 720, 540}},  // 1920 x 1080 at scale 2
        {1280, 720, {160, 0, 960, 720}},
        {1280, 1024, {0, 32, 1280, 960}},
        {2560, 1600, {213, 0, 2133, 1600}},
        {800, 600, {0, 0, 800, 600}},
    };
    const double aspect = 4.0f / 3.0f;
    for (const screen_case &screen : screens) {
        gl_reset();
        do_reshape(screen.w, screen.h);
        SCOPED_TRACE(std::to_string(screen.w) + "x" + std::to_string(screen.h));
        EXPECT_EQ(gl_calls_named("glViewport")[0].args, screen.viewport);
        EXPECT_EQ(gl_calls_named("gluOrtho2D")[0].args,
                  (std::vector<double>{-aspect, aspect, -1, 1}));
        EXPECT_EQ(gl_calls_named("glClear").size(), 1u);
    }
}
