#include "anneal.h"
#include "fade.h"
#include "graph.h"
#include "graph_check.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// The 48-bit state shared by drand48 and lrand48; each draw advances it once.
struct rand48_state {
    unsigned short x[3];
};

rand48_state save_rand48()
{
    unsigned short probe[3] = {0, 0, 0};
    rand48_state s;
    memcpy(s.x, seed48(probe), sizeof s.x);
    seed48(s.x);
    return s;
}

void restore_rand48(rand48_state s)
{
    seed48(s.x);
}

// Draws made since `before`, found by replaying the generator; -1 if more
// than a few thousand. Leaves the generator where it was.
int draws_since(rand48_state before)
{
    const int max_draws = 5000;
    rand48_state after = save_rand48();
    restore_rand48(before);
    int n = 0;
    while (n <= max_draws && memcmp(save_rand48().x, after.x, sizeof after.x) != 0) {
        drand48();
        n++;
    }
    restore_rand48(after);
    return n > max_draws ? -1 : n;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool under_address_sanitizer = true;
#else
constexpr bool under_address_sanitizer = false;
#endif

// Caps the address space a little above what is in use, then allocates
// edges until one allocation fails. Run only in a death-test child.
[[noreturn]] void exhaust_memory()
{
    const rlim_t headroom = 32u << 20; // bytes
    long pages = 0;
    FILE *statm = fopen("/proc/self/statm", "r");
    if (statm == nullptr || fscanf(statm, "%ld", &pages) != 1)
        abort();
    fclose(statm);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = pages * sysconf(_SC_PAGESIZE) + headroom;
    setrlimit(RLIMIT_AS, &limit);
    // add_edge does not look for duplicates, so this only allocates.
    for (;;)
        add_edge(first_vertex, first_vertex->next);
}

} // namespace

TEST(graph_model, empty_graph_edits_change_nothing)
{
    reset_graph();
    srand48(1);
    rand48_state before = save_rand48();
    pop_vertex();
    delete_random_vertex();
    delete_random_edge();
    add_random_edge();
    perturb_positions();
    EXPECT_EQ(draws_since(before), 0);
    EXPECT_EQ(first_vertex, nullptr);
    EXPECT_EQ(vertex_count + fading_vertex_count + edge_count + fading_edge_count, 0);
}

TEST(graph_model, push_vertex_draws_position_then_colour)
{
    reset_graph();
    srand48(42);
    double d[5];
    for (double &r : d)
        r = drand48();
    srand48(42);
    rand48_state before = save_rand48();
    push_vertex();
    // The first vertex has no one to join: five draws and no edge.
    EXPECT_EQ(draws_since(before), 5);
    const vertex *v = first_vertex;
    EXPECT_EQ(v->x, bbox.xmin + static_cast<float>(d[0]) * (bbox.xmax - bbox.xmin));
    EXPECT_EQ(v->y, bbox.ymin + static_cast<float>(d[1]) * (bbox.ymax - bbox.ymin));
    EXPECT_EQ(v->r, static_cast<float>(0.5 + 0.5 * d[2]));
    EXPECT_EQ(v->g, static_cast<float>(0.5 + 0.5 * d[3]));
    EXPECT_EQ(v->b, static_cast<float>(0.5 + 0.5 * d[4]));
    EXPECT_EQ(v->alpha, 0.0f);
    EXPECT_EQ(v->state, FADING_IN);
    EXPECT_EQ(vertex_count + fading_vertex_count, 2);
    EXPECT_EQ(edge_count, 0);
}

TEST(graph_model, second_vertex_joins_first_when_its_draw_is_below_0_8)
{
    int joined = 0;
    for (long seed = 1; seed <= 100; seed++) {
        reset_graph();
        srand48(seed);
        push_vertex();
        push_vertex();
        // Five draws per vertex, then the one that decides the join.
        srand48(seed);
        for (int i = 0; i < 10; i++)
            drand48();
        int expected = drand48() < 0.8;
        ASSERT_EQ(edge_count, expected) << "seed " << seed;
        if (expected) {
            EXPECT_EQ(first_edge->a, first_vertex);
            EXPECT_EQ(first_edge->b, first_vertex->next);
        }
        joined += expected;
    }
    EXPECT_GT(joined, 0);
    EXPECT_LT(joined, 100);
}

TEST(graph_model, new_vertex_draws_once_per_vertex_not_fading_out)
{
    reset_graph();
    srand48(7);
    for (int i = 0; i < 8; i++)
        push_vertex();
    fade_step(1);
    for (int pos : {1, 4, 7}) {
        fade_vertex(nth_vertex(pos));
        delete_edges_of(nth_vertex(pos));
    }
    rand48_state before = save_rand48();
    push_vertex();
    EXPECT_EQ(draws_since(before), 5 + 8 - 3);
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        EXPECT_TRUE(e->a != first_vertex || e->b->state != FADING_OUT);
}

// The retry loop must find the one joinable pair, and add_random_edge must
// return without a draw whenever none is left.
TEST(graph_model, add_random_edge_joins_only_pairs_that_can_be_joined)
{
    reset_graph();
    srand48(3);
    add_isolated_vertices(1);
    rand48_state before = save_rand48();
    add_random_edge();
    EXPECT_EQ(draws_since(before), 0);

    for (long seed = 1; seed <= 10; seed++) {
        reset_graph();
        srand48(seed);
        add_isolated_vertices(6);
        vertex *u = nth_vertex(1);
        vertex *w = nth_vertex(5);
        vertex *x = nth_vertex(3);
        join_all();
        // Leave u-w unjoined, and x unjoined and fading out.
        for (edge *e = first_edge; e != nullptr; e = e->next)
            if ((e->a == u && e->b == w) || e->a == x || e->b == x)
                fade_edge(e);
        fade_step(1);
        fade_vertex(x);
        add_random_edge();
        ASSERT_EQ(edge_count, 15 - 5) << "seed " << seed;
        EXPECT_EQ(first_edge->a, u);
        EXPECT_EQ(first_edge->b, w);

        before = save_rand48();
        add_random_edge();
        // A fading edge still blocks its pair until it is collected.
        fade_edge(first_edge);
        add_random_edge();
        EXPECT_EQ(draws_since(before), 0);
        fade_step(1);
        add_random_edge();
        EXPECT_EQ(edge_count, 10);
        // Complete again.
        before = save_rand48();
        add_random_edge();
        EXPECT_EQ(draws_since(before), 0);
        EXPECT_TRUE(graph_is_consistent());
    }
}

TEST(graph_model, add_random_edge_draws_list_positions_in_order)
{
    reset_graph();
    srand48(21);
    add_isolated_vertices(6);
    // i in [0, n - 2], then the partner 1 to n - 1 - i places further down.
    rand48_state before = save_rand48();
    long i = lrand48() % 5;
    long j = lrand48() % (5 - i) + 1;
    restore_rand48(before);
    add_random_edge();
    EXPECT_EQ(draws_since(before), 2);
    EXPECT_EQ(first_edge->a, nth_vertex(i));
    EXPECT_EQ(first_edge->b, nth_vertex(i + j));
}

TEST(graph_model, pop_vertex_fades_the_newest_vertex_and_its_edges_once)
{
    reset_graph();
    srand48(13);
    add_isolated_vertices(5);
    join_all();
    fade_step(1);
    vertex *head = first_vertex;
    // Until the head is collected, a second pop finds the same vertex.
    pop_vertex();
    pop_vertex();
    EXPECT_EQ(head->state, FADING_OUT);
    EXPECT_EQ(fading_vertex_count, 1);
    EXPECT_EQ(fading_edge_count, 4);
    for (const edge *e = first_edge; e != nullptr; e = e->next)
        EXPECT_EQ(e->state == FADING_OUT, e->a == head || e->b == head);
    EXPECT_TRUE(graph_is_consistent());
}

TEST(graph_model, random_deletes_fade_the_drawn_record)
{
    for (long seed = 1; seed <= 8; seed++) {
        reset_graph();
        srand48(seed);
        add_isolated_vertices(7);
        join_all();
        fade_step(1);
        rand48_state before = save_rand48();
        vertex *v = nth_vertex(lrand48() % 7);
        restore_rand48(before);
        delete_random_vertex();
        ASSERT_EQ(v->state, FADING_OUT) << "seed " << seed;
        // Drawing the same vertex again changes nothing.
        restore_rand48(before);
        delete_random_vertex();
        EXPECT_EQ(fading_vertex_count, 1);
        EXPECT_EQ(fading_edge_count, 6);
        for (const edge *e = first_edge; e != nullptr; e = e->next)
            EXPECT_EQ(e->state == FADING_OUT, e->a == v || e->b == v);

        before = save_rand48();
        edge *e = nth_edge(lrand48() % edge_count);
        restore_rand48(before);
        delete_random_edge();
        ASSERT_EQ(e->state, FADING_OUT) << "seed " << seed;
        EXPECT_EQ(fading_vertex_count, 1);
    }
}

TEST(graph_model, perturb_moves_at_most_0_15_and_stays_in_bbox)
{
    reset_graph();
    srand48(23);
    add_isolated_vertices(1);
    vertex *v = first_vertex;
    const float starts[][2] = {{bbox.xmin, bbox.ymin}, {bbox.xmax, 0}, {0, bbox.ymax}, {0, 0}};
    const float reach = 0.15f + 1e-6f; // offset plus its rounding to single precision
    float lowest = 0;
    float highest = 0;
    for (const auto &s : starts) {
        for (int i = 0; i < 500; i++) {
            v->x = s[0];
            v->y = s[1];
            perturb_position(v);
            ASSERT_TRUE(graph_is_consistent());
            ASSERT_LE(fabsf(v->x - s[0]), reach);
            ASSERT_LE(fabsf(v->y - s[1]), reach);
            lowest = fminf(lowest, v->x - s[0]);
            highest = fmaxf(highest, v->x - s[0]);
        }
    }
    // The offset spans both directions, not just one.
    EXPECT_LT(lowest, -0.14f);
    EXPECT_GT(highest, 0.14f);
}

// Mixed edits, fade steps with random dt and annealing steps, checking every
// invariant after each one. Now and then two vertices are put on one corner,
// as the clamp to bbox can leave them, so coincident pairs get annealed too.
TEST(graph_model, random_edits_fades_and_steps_keep_every_invariant)
{
    reset_graph();
    srand48(1234);
    for (int round = 0; round < 4000; round++) {
        switch (lrand48() % 12) {
        case 0:
        case 1:
            push_vertex();
            break;
        case 2:
            pop_vertex();
            break;
        case 3:
            delete_random_vertex();
            break;
        case 4:
            add_random_edge();
            break;
        case 5:
            delete_random_edge();
            break;
        case 6:
            if (lrand48() % 4 == 0)
                randomize_positions();
            else
                perturb_positions();
            break;
        case 7:
        case 8:
            fade_step(static_cast<float>(drand48() * 0.08));
            break;
        case 9:
            if (temperature < 0.06f)
                anneal_heat();
            anneal_step();
            break;
        case 10:
            anneal_step();
            break;
        default:
            if (vertex_count >= 2) {
                vertex *a = nth_vertex(lrand48() % vertex_count);
                vertex *b = nth_vertex(lrand48() % vertex_count);
                a->x = b->x = bbox.xmin;
                a->y = b->y = bbox.ymin;
            }
            break;
        }
        ASSERT_TRUE(graph_is_consistent()) << "round " << round;
    }
    // Everything left fades out and is collected.
    while (first_vertex != nullptr) {
        pop_vertex();
        fade_step(0.05f);
        ASSERT_TRUE(graph_is_consistent());
    }
    EXPECT_EQ(edge_count, 0);
}

TEST(graph_model_death, out_of_memory_exits_with_status_111)
{
    if (under_address_sanitizer)
        GTEST_SKIP() << "address space limits do not mix with the sanitizer";
    reset_graph();
    srand48(31);
    push_vertex();
    push_vertex();
    EXPECT_EXIT(exhaust_memory(), ::testing::ExitedWithCode(111), "webtemper: out of memory");
}
