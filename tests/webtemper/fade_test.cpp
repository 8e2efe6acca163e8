#include "fade.h"
#include "graph.h"
#include "graph_check.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(fade_step, fades_take_41_steps_of_5_ms)
{
    reset_graph();
    srand48(1);
    push_vertex();
    push_vertex();
    join_all();
    // 40 steps of 0.005f leave alpha just below 1: one more ends the fade.
    for (int step = 1; step <= 40; step++) {
        fade_step(0.005f);
        ASSERT_EQ(first_edge->alpha, first_vertex->alpha);
    }
    EXPECT_EQ(first_vertex->state, FADING_IN);
    EXPECT_GT(first_vertex->alpha, 0.9999f);
    fade_step(0.005f);
    EXPECT_EQ(first_vertex->alpha, 1.0f);
    EXPECT_EQ(fading_vertex_count + fading_edge_count, 0);

    pop_vertex();
    for (int step = 1; step <= 40; step++)
        fade_step(0.005f);
    EXPECT_EQ(vertex_count + edge_count, 3);
    fade_step(0.005f);
    EXPECT_EQ(vertex_count + edge_count, 1);
    EXPECT_EQ(fading_vertex_count + fading_edge_count, 0);
}

TEST(fade_step, zero_dt_frees_only_what_faded_out_at_alpha_0)
{
    reset_graph();
    srand48(3);
    add_isolated_vertices(2);
    push_vertex();
    join_all();
    fade_step(0.1f); // the newest vertex and its edges at alpha 0.5
    push_vertex();   // created and removed within one frame
    join_all();
    pop_vertex();
    fade_step(0);
    EXPECT_EQ(vertex_count, 3);
    EXPECT_EQ(edge_count, 3);
    EXPECT_EQ(first_vertex->state, FADING_IN);
    EXPECT_EQ(first_vertex->alpha, 0.5f);
    EXPECT_EQ(fading_vertex_count, 1);
    EXPECT_TRUE(graph_is_consistent());
}

TEST(fade_step, long_dt_finishes_every_fade)
{
    reset_graph();
    srand48(4);
    for (int i = 0; i < 12; i++)
        push_vertex();
    fade_step(0.05f);
    for (int i = 0; i < 4; i++) {
        delete_random_vertex();
        delete_random_edge();
        push_vertex();
    }
    int survivors = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next)
        survivors += v->state != FADING_OUT;
    fade_step(1);
    EXPECT_EQ(vertex_count, survivors);
    EXPECT_EQ(fading_vertex_count + fading_edge_count, 0);
    EXPECT_TRUE(graph_is_consistent());
}

TEST(fade_step, vertex_and_its_edges_fade_out_together)
{
    reset_graph();
    srand48(5);
    add_isolated_vertices(4);
    join_all();
    fade_step(1);
    vertex *head = first_vertex;
    pop_vertex();
    while (vertex_count == 4) {
        ASSERT_EQ(edge_count, 6);
        // The three edges of the head fade with it, in step.
        for (const edge *e = first_edge; e != nullptr; e = e->next)
            ASSERT_TRUE((e->a != head && e->b != head) || e->alpha == head->alpha);
        fade_step(0.03f);
        ASSERT_TRUE(graph_is_consistent());
    }
    EXPECT_EQ(edge_count, 3);
}

TEST(fade_step, collection_keeps_the_order_of_survivors)
{
    reset_graph();
    srand48(7);
    add_isolated_vertices(6);
    vertex *keep1 = nth_vertex(1);
    vertex *keep4 = nth_vertex(4);
    // The head, a run of two and the tail go.
    for (int pos : {5, 3, 2, 0})
        fade_vertex(nth_vertex(pos));
    fade_step(1);
    ASSERT_EQ(vertex_count, 2);
    EXPECT_EQ(first_vertex, keep1);
    EXPECT_EQ(keep1->next, keep4);
    EXPECT_EQ(keep4->next, nullptr);
}
