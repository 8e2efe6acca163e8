#include "render.h"

#include "gl_recorder.h"
#include "graph.h"
#include "graph_check.h"
#include "test_support.h"

#include <GL/gl.h>
#include <cmath>

using args = std::vector<double>;

struct render_fixture : ::testing::Test {
    void SetUp() override
    {
        reset_graph();
        srand48(11);
        gl_reset();
        circle_list = 1;
    }
    void TearDown() override { reset_graph(); }

    // Records one frame and returns the calls after the boundary: the frame
    // is push, scale, boundary (7 calls) and then edges and vertices.
    std::vector<gl_call> frame_after_boundary()
    {
        gl_reset();
        draw_graph();
        EXPECT_TRUE(gl_all_finite());
        return std::vector<gl_call>(gl_calls.begin() + 9, gl_calls.end());
    }
};

TEST_F(render_fixture, circle_list_is_thirty_points_of_radius_five_hundredths)
{
    setup_circle_list();
    EXPECT_EQ(circle_list, 1u);
    std::vector<gl_call> points = gl_calls_named("glVertex2f");
    ASSERT_EQ(points.size(), 30u);
    EXPECT_EQ(points[0].args, (args{0.05f, 0}));
    // Evenly spaced and counter-clockwise: point i at angle i * 2 pi / 30.
    for (int i = 0; i < 30; i++)
        EXPECT_TRUE(is_near(0.05 * cos(i * M_PI / 15), points[i].args[0], 1e-7) &&
                    is_near(0.05 * sin(i * M_PI / 15), points[i].args[1], 1e-7))
            << i;
    EXPECT_EQ(gl_calls[1].name, "glNewList");
    EXPECT_EQ(gl_calls[2].args, (args{GL_LINE_LOOP}));
    EXPECT_EQ(gl_calls.back().name, "glEndList");
}

TEST(render_death, failed_display_list_stops_with_the_assertion_message)
{
    child_result child = run_in_child([] {
        gl_next_list = 0;
        setup_circle_list();
    });
    EXPECT_TRUE(WIFSIGNALED(child.status) && WTERMSIG(child.status) == SIGABRT) << child.status;
    EXPECT_NE(child.err.find("webtemper/render.cpp:"), std::string::npos) << child.err;
    EXPECT_NE(child.err.find(": setup_circle_list: Assertion `circle_list != 0' failed.\n"),
              std::string::npos)
        << child.err;
}

TEST_F(render_fixture, empty_graph_draws_the_scaled_boundary_alone)
{
    draw_graph();
    const std::vector<std::string> names = {"glPushMatrix", "glScalef",   "glColor4f",
                                            "glBegin",      "glVertex2f", "glVertex2f",
                                            "glVertex2f",   "glVertex2f", "glEnd",
                                            "glBegin",      "glEnd",      "glPopMatrix"};
    ASSERT_EQ(gl_calls.size(), names.size());
    for (size_t i = 0; i < names.size(); i++)
        EXPECT_EQ(gl_calls[i].name, names[i]) << i;
    float w = 8.0f / 3.0f, s = fminf(w / (w + 0.05f), 2 / 2.05f) * 0.9f;
    EXPECT_EQ(gl_calls[1].args, (args{s, s, 1}));
    EXPECT_TRUE(is_near(0.878, s, 1e-3));
    EXPECT_EQ(gl_calls[2].args, (args{0.3f, 0.3f, 0.3f, 1}));
    EXPECT_EQ(gl_calls[3].args, (args{GL_LINE_LOOP}));
    const float left = -4.0f / 3.0f - 0.05f, right = 4.0f / 3.0f + 0.05f;
    EXPECT_EQ(gl_calls[4].args, (args{left, -1.05f}));
    EXPECT_EQ(gl_calls[5].args, (args{left, 1.05f}));
    EXPECT_EQ(gl_calls[6].args, (args{right, 1.05f}));
    EXPECT_EQ(gl_calls[7].args, (args{right, -1.05f}));
    EXPECT_EQ(gl_calls[9].args, (args{GL_LINES}));
}

TEST_F(render_fixture, edges_then_vertices_with_their_colours_and_alphas)
{
    add_isolated_vertices(2);
    vertex *newer = nth_vertex(0), *older = nth_vertex(1);
    // A diagonal edge of length 1, from newer towards older along (-0.6, -0.8).
    newer->x = 0.5f, newer->y = 0.5f;
    older->x = -0.1f, older->y = -0.3f;
    add_edge(newer, older);
    first_edge->alpha = 0.25f;
    older->alpha = 0.125f;
    std::vector<gl_call> c = frame_after_boundary();
    ASSERT_EQ(c.size(), 1 + 4 + 1 + 2 * 5 + 1u);
    EXPECT_EQ(c[0].name, "glBegin");
    // End a, then end b, each shortened by the circle radius; the opacity at
    // each end is the lower of the edge's and that vertex's.
    EXPECT_EQ(c[1].args, (args{newer->r, newer->g, newer->b, 0.25f}));
    EXPECT_TRUE(is_near(0.47, c[2].args[0], 1e-6) && is_near(0.46, c[2].args[1], 1e-6));
    EXPECT_EQ(c[3].args, (args{older->r, older->g, older->b, 0.125f}));
    EXPECT_TRUE(is_near(-0.07, c[4].args[0], 1e-6) && is_near(-0.26, c[4].args[1], 1e-6));
    EXPECT_EQ(c[5].name, "glEnd");
    // Vertices in list order: push, translate, colour, circle, pop.
    for (int k = 0; k < 2; k++) {
        const vertex *v = nth_vertex(k);
        EXPECT_EQ(c[6 + 5 * k].name, "glPushMatrix");
        EXPECT_EQ(c[7 + 5 * k].args, (args{v->x, v->y, 0}));
        EXPECT_EQ(c[8 + 5 * k].args, (args{v->r, v->g, v->b, v->alpha}));
        EXPECT_EQ(c[9 + 5 * k].args, (args{1}));
        EXPECT_EQ(c[10 + 5 * k].name, "glPopMatrix");
    }
    EXPECT_EQ(c.back().name, "glPopMatrix");
}

TEST_F(render_fixture, short_edge_crosses_its_ends_and_coincident_ends_draw_nothing)
{
    add_isolated_vertices(4);
    add_edge(nth_vertex(1), nth_vertex(2));
    add_edge(nth_vertex(3), nth_vertex(2));
    add_edge(nth_vertex(0), nth_vertex(2));
    for (int k = 0; k < 4; k++)
        nth_vertex(k)->x = nth_vertex(k)->y = 0;
    // Edge 1-2 has no length; edge 3-2 a subnormal one, whose shortening
    // factor overflows. Both draw nothing.
    nth_vertex(3)->x = 1e-45f;
    // Edge 0-2, drawn first, is 0.04 long along (0.6, 0.8): each end moves
    // 0.05 along it, past the middle.
    nth_vertex(0)->x = 0.024f, nth_vertex(0)->y = 0.032f;
    std::vector<gl_call> c = frame_after_boundary();
    EXPECT_EQ(c[0].name, "glBegin");
    EXPECT_TRUE(is_near(-0.006, c[2].args[0], 1e-7) && is_near(-0.008, c[2].args[1], 1e-7));
    EXPECT_TRUE(is_near(0.03, c[4].args[0], 1e-7) && is_near(0.04, c[4].args[1], 1e-7));
    EXPECT_EQ(c[5].name, "glEnd");
}

TEST_F(render_fixture, random_graphs_hand_only_finite_values_to_the_gl)
{
    for (int i = 0; i < 60; i++)
        push_vertex();
    // Pile some vertices into one corner so that several coincide.
    for (int k = 0; k < 10; k++) {
        nth_vertex(k)->x = bbox.xmin;
        nth_vertex(k)->y = bbox.ymin;
    }
    frame_after_boundary();
    EXPECT_EQ(gl_calls_named("glCallList").size(), 60u);
}

TEST_F(render_fixture, view_maps_bbox_onto_the_window_with_blending)
{
    setup_view(1024, 768);
    EXPECT_EQ(gl_calls[0].name, "glViewport");
    EXPECT_EQ(gl_calls[0].args, (args{0, 0, 1024, 768}));
    std::vector<gl_call> ortho = gl_calls_named("gluOrtho2D");
    ASSERT_EQ(ortho.size(), 1u);
    EXPECT_EQ(ortho[0].args, (args{-4.0f / 3.0f, 4.0f / 3.0f, -1, 1}));
    args disabled;
    for (const gl_call &c : gl_calls_named("glDisable"))
        disabled.push_back(c.args[0]);
    EXPECT_EQ(disabled, (args{GL_LIGHTING, GL_TEXTURE_2D, GL_TEXTURE_1D, GL_ALPHA_TEST,
                              GL_DEPTH_TEST, GL_CULL_FACE}));
    EXPECT_EQ(gl_calls_named("glShadeModel")[0].args, (args{GL_SMOOTH}));
    EXPECT_EQ(gl_calls_named("glEnable")[0].args, (args{GL_BLEND}));
    EXPECT_EQ(gl_calls_named("glBlendFunc")[0].args, (args{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
}

// Any screen shows bbox in a centred 4:3 viewport, as tall as the screen or,
// on a screen taller than 4:3, as wide.
TEST_F(render_fixture, view_keeps_the_shape_centred_on_any_screen)
{
    struct screen_case {
        int w, h;
        args viewport;
    };
    const screen_case screens[] = {
        {1920, 1080, {240, 0, 1440, 1080}},
        {960, 540, {120, 0, 720, 540}},  // 1920 x 1080 at scale 2
        {1280, 720, {160, 0, 960, 720}},
        {1280, 1024, {0, 32, 1280, 960}},
    };
    for (const screen_case &screen : screens) {
        gl_reset();
        setup_view(screen.w, screen.h);
        SCOPED_TRACE(std::to_string(screen.w) + "x" + std::to_string(screen.h));
        EXPECT_EQ(gl_calls_named("glViewport")[0].args, screen.viewport);
        EXPECT_EQ(gl_calls_named("gluOrtho2D")[0].args, (args{-4.0f / 3.0f, 4.0f / 3.0f, -1, 1}));
    }
}
