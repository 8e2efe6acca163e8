#include "anneal.h"
#include "graph.h"
#include "graph_check.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <string>

namespace {

// A steady, isolated vertex at (x, y).
vertex *place_vertex(float x, float y)
{
    add_isolated_vertices(1);
    first_vertex->x = x;
    first_vertex->y = y;
    return first_vertex;
}

} // namespace

TEST(anneal_step, empty_or_frozen_graph_changes_nothing)
{
    reset_graph();
    srand48(1);
    anneal_step();
    EXPECT_EQ(temperature, 0.006f);
    vertex *a = place_vertex(-0.1f, 0.2f);
    place_vertex(0.1f, 0.2f);
    temperature = 0.0000099f;
    anneal_step();
    EXPECT_EQ(temperature, 0.0000099f);
    EXPECT_EQ(a->x, -0.1f);
}

TEST(anneal_step, single_vertex_stays_while_the_layout_freezes_in_253_steps)
{
    reset_graph();
    srand48(2);
    anneal_heat();
    EXPECT_EQ(temperature, 0.006f * 1.1f);
    temperature = 0.006f;
    vertex *v = place_vertex(0.3f, -0.2f);
    anneal_step();
    EXPECT_EQ(temperature, 0.006f * 0.975f);
    int steps = 1;
    while (temperature >= 0.00001f && steps < 1000) {
        anneal_step();
        steps++;
    }
    EXPECT_EQ(steps, 253);
    EXPECT_EQ(v->x, 0.3f);
    EXPECT_EQ(v->y, -0.2f);
}

TEST(anneal_step, two_vertices_move_straight_apart_until_bbox_stops_them)
{
    reset_graph();
    srand48(4);
    vertex *left = place_vertex(-1.2f, 0.4f);
    vertex *right = place_vertex(1.2f, 0.4f);
    float t = temperature;
    anneal_step();
    // The push is far stronger than the temperature: each moves by t.
    EXPECT_EQ(left->x, -1.2f - t);
    EXPECT_EQ(right->x, 1.2f + t);
    while (temperature >= 0.00001f) {
        float before = right->x;
        float limit = temperature;
        anneal_step();
        ASSERT_LE(right->x - before, limit + 1e-6f);
    }
    EXPECT_EQ(left->x, bbox.xmin);
    EXPECT_EQ(right->x, bbox.xmax);
    EXPECT_EQ(left->y, 0.4f);
    EXPECT_EQ(right->y, 0.4f);
}

TEST(anneal_step, vertex_pushed_into_a_side_slides_along_it)
{
    reset_graph();
    srand48(5);
    place_vertex(bbox.xmax - 0.5f, -0.5f);
    vertex *v = place_vertex(bbox.xmax - 0.001f, 0);
    float t = temperature;
    anneal_step();
    EXPECT_EQ(v->x, bbox.xmax);
    // The push points from the other vertex to v, nearly at 45 degrees.
    EXPECT_NEAR(v->y, t * 0.5f / hypotf(0.499f, 0.5f), 1e-7f);
}

// Near distance k the pull of an edge almost cancels the push: a net
// displacement this small moves nothing.
TEST(anneal_step, displacement_below_0_00001_moves_nothing)
{
    reset_graph();
    srand48(11);
    float k = sqrtf((bbox.xmax - bbox.xmin) * (bbox.ymax - bbox.ymin) / 2);
    const float off = 1e-6f; // from distance k, in layout units
    vertex *a = place_vertex(-k / 2 - off, 0.1f);
    vertex *b = place_vertex(k / 2, 0.1f);
    add_edge(b, a);
    anneal_step();
    ASSERT_NE(a->dx, 0.0f);
    ASSERT_LT(fabsf(a->dx), 0.00001f);
    EXPECT_EQ(a->x, -k / 2 - off);
    EXPECT_EQ(b->x, k / 2);
}

// A joined pair near balance moves by mirrored amounts only when every force
// comes from the positions at the start of the step.
TEST(anneal_step, forces_come_from_positions_at_the_start_of_the_step)
{
    reset_graph();
    srand48(7);
    vertex *a = place_vertex(-0.8f, 0);
    vertex *b = place_vertex(0.8f, 0);
    add_edge(b, a);
    temperature = 1;
    anneal_step();
    EXPECT_NE(a->x, -0.8f);
    EXPECT_LT(fabsf(a->x + 0.8f), 0.5f);
    EXPECT_EQ(a->x, -b->x);
    EXPECT_EQ(a->y, 0.0f);
}

TEST(anneal_step, coincident_vertices_in_a_corner_separate_along_x)
{
    reset_graph();
    srand48(8);
    vertex *older = place_vertex(bbox.xmin, bbox.ymin);
    vertex *newer = place_vertex(bbox.xmin, bbox.ymin);
    add_edge(newer, older);
    float t = temperature;
    anneal_step();
    // The one earlier in the list goes to +x, the other is held by the side.
    EXPECT_EQ(newer->x, bbox.xmin + t);
    EXPECT_EQ(newer->y, bbox.ymin);
    EXPECT_EQ(older->x, bbox.xmin);
    EXPECT_EQ(older->y, bbox.ymin);
}

// Subnormal distances overflow k²/d: a push infinite along one axis or both
// moves along it by the temperature, one whose length alone overflows
// hypotf keeps its direction, and one that is NaN along either axis (0 ×
// infinity) moves nothing. Every position stays finite.
TEST(anneal_step, overflowing_push_moves_by_the_temperature)
{
    const float diagonal = 1 / sqrtf(2);
    const struct {
        float x, y;   // of the vertices pushing the one at (0, 0)
        int pushers;  // each pushes by about 2e38 or more
        const char *push; // along x and y: infinite, NaN or finite
        float ux, uy; // expected move, in temperatures; NaN where it stays
    } cases[] = {
        {-8.9e-39f, 0, 2, "if", 1, 0},
        {0, -8.9e-39f, 2, "fi", 0, 1},
        {FLT_TRUE_MIN, FLT_TRUE_MIN, 1, "ii", -diagonal, -diagonal},
        {-6.8e-39f, -6.8e-39f, 2, "ff", diagonal, diagonal},
        {0, FLT_TRUE_MIN, 1, "ni", NAN, NAN},
        {FLT_TRUE_MIN, 0, 1, "in", NAN, NAN},
    };
    auto kind = [](float f) { return std::isnan(f) ? 'n' : std::isinf(f) ? 'i' : 'f'; };
    for (const auto &c : cases) {
        reset_graph();
        srand48(10);
        vertex *v = place_vertex(0, 0);
        for (int i = 0; i < c.pushers; i++)
            place_vertex(c.x, c.y);
        float t = temperature;
        anneal_step();
        // The push is still in dx and dy (nothing attracts): too long for
        // hypotf in every case.
        ASSERT_EQ(std::string(1, kind(v->dx)) + kind(v->dy), c.push);
        ASSERT_TRUE(std::isinf(hypotf(v->dx, v->dy))) << c.push;
        if (std::isnan(c.ux)) {
            EXPECT_EQ(v->x, 0.0f) << c.push;
            EXPECT_EQ(v->y, 0.0f) << c.push;
        } else {
            EXPECT_NEAR(v->x, c.ux * t, 1e-7f) << c.push;
            EXPECT_NEAR(v->y, c.uy * t, 1e-7f) << c.push;
        }
        EXPECT_TRUE(graph_is_consistent()) << c.push;
    }
}

// The layout is the same bits on every architecture and with every pair
// kernel: a random graph's positions after 200 steps, pinned as computed on
// x86-64.
TEST(anneal_step, random_graph_lays_out_to_the_same_bits_everywhere)
{
    reset_graph();
    srand48(23);
    for (int i = 0; i < 40; i++)
        push_vertex();
    ASSERT_GT(edge_count, 40);
    for (int i = 0; i < 200; i++)
        anneal_step();
    std::vector<float> layout = vertex_fields(&vertex::x, &vertex::y);
    layout.push_back(temperature);
    EXPECT_EQ(bits_hash(layout), 0xec8280ed4219242eu);
}
