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
    for (const gl_call &p : points)
        EXPECT_TRUE(is_near(0.05, hypot(p.args[0], p.args[1]), 1e-7));
    // Counter-clockwise: the second point is above the first.
    EXPECT_GT(points[1].args[1], 0);
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
    newer->x = 0.5f, newer->y = 0;
    older->x = -0.5f, older->y = 0;
    add_edge(newer, older);
    first_edge->alpha = 0.25f;
    older->alpha = 0.125f;
    std::vector<gl_call> c = frame_after_boundary();
    ASSERT_EQ(c.size(), 1 + 4 + 1 + 2 * 5 + 1u);
    EXPECT_EQ(c[0].name, "glBegin");
    // End a, then end b, each shortened by the circle radius; the opacity at
    // each end is the lower of the edge's and that vertex's.
    EXPECT_EQ(c[1].args, (args{newer->r, newer->g, newer->b, 0.25f}));
    EXPECT_EQ(c[2].args, (args{0.45f, 0}));
    EXPECT_EQ(c[3].args, (args{older->r, older->g, older->b, 0.125f}));
    EXPECT_EQ(c[4].args, (args{-0.45f, 0}));
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

TEST_F(render_fixture, short_edge_is_drawn_with_crossed_ends)
{
    add_isolated_vertices(2);
    nth_vertex(0)->x = 0.04f, nth_vertex(0)->y = 0;
    nth_vertex(1)->x = 0, nth_vertex(1)->y = 0;
    add_edge(nth_vertex(0), nth_vertex(1));
    std::vector<gl_call> c = frame_after_boundary();
    // a sits at 0.04, b at 0: a's end moves past the middle towards b.
    EXPECT_TRUE(is_near(-0.01, c[2].args[0], 1e-7));
    EXPECT_TRUE(is_near(0.05, c[4].args[0], 1e-7));
}

TEST_F(render_fixture, edge_between_coincident_ends_draws_nothing)
{
    add_isolated_vertices(3);
    add_edge(nth_vertex(0), nth_vertex(1));
    add_edge(nth_vertex(2), nth_vertex(1));
    for (int k = 0; k < 3; k++)
        nth_vertex(k)->x = nth_vertex(k)->y = 0;
    // A subnormal length: the shortening factor overflows.
    nth_vertex(2)->x = 1e-45f;
    std::vector<gl_call> c = frame_after_boundary();
    EXPECT_EQ(c[0].name, "glBegin");
    EXPECT_EQ(c[1].name, "glEnd");
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
    EXPECT_EQ(gl_calls[0].args, (args{0, 0, 1024, 768}));
    std::vector<gl_call> ortho = gl_calls_named("gluOrtho2D");
    ASSERT_EQ(ortho.size(), 1u);
    EXPECT_EQ(ortho[0].args, (args{-4.0f / 3.0f, 4.0f / 3.0f, -1, 1}));
    std::vector<gl_call> disabled = gl_calls_named("glDisable");
    const args expected = {GL_LIGHTING,   GL_TEXTURE_2D, GL_TEXTURE_1D,
                           GL_ALPHA_TEST, GL_DEPTH_TEST, GL_CULL_FACE};
    ASSERT_EQ(disabled.size(), expected.size());
    for (size_t i = 0; i < expected.size(); i++)
        EXPECT_EQ(disabled[i].args[0], expected[i]);
    EXPECT_EQ(gl_calls_named("glShadeModel")[0].args, (args{GL_SMOOTH}));
    EXPECT_EQ(gl_calls_named("glEnable")[0].args, (args{GL_BLEND}));
    EXPECT_EQ(gl_calls_named("glBlendFunc")[0].args, (args{GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA}));
}
