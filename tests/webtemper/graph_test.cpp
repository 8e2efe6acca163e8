#include "fade.h"
#include "graph.h"
#include "graph_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

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

// drand48's multiplier and addend on its 48-bit state.
constexpr uint64_t RAND48_A = 0x5deece66d, RAND48_C = 0xb, RAND48_MASK = (1ull << 48) - 1;

// Sets the generator so that the draw `ahead` draws from now (0: the next
// one) returns exactly value, a multiple of 2^-48, by stepping the state
// backwards from value.
void seed_draw(int ahead, double value)
{
    // Newton's iteration doubles the correct low bits of the inverse each round.
    uint64_t inverse = RAND48_A;
    for (int i = 0; i < 5; i++)
        inverse *= 2 - RAND48_A * inverse;
    uint64_t x = static_cast<uint64_t>(ldexp(value, 48));
    for (int i = 0; i <= ahead; i++)
        x = (x - RAND48_C) * inverse & RAND48_MASK;
    unsigned short s[3] = {static_cast<unsigned short>(x), static_cast<unsigned short>(x >> 16),
                           static_cast<unsigned short>(x >> 32)};
    seed48(s);
}

// The newest vertex's edges made since the edge list began with old_head,
// as their b ends in the order they were made.
std::vector<vertex *> new_partners(const edge *old_head)
{
    std::vector<vertex *> partners;
    for (const edge *e = first_edge; e != old_head; e = e->next) {
        EXPECT_EQ(e->a, first_vertex);
        partners.insert(partners.begin(), e->b);
    }
    return partners;
}

// Every vertex's x and y, in list order.
std::vector<float> positions()
{
    return vertex_fields(&vertex::x, &vertex::y);
}

// Coordinate c moved by the next draw as perturb_position must move it.
float perturbed(float c, float lo, float hi)
{
    float moved = static_cast<float>(c + (2 * drand48() - 1) * 0.15f);
    return fminf(hi, fmaxf(lo, moved));
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

// push_vertex draws x, y, r, g, b, then once for every older vertex not
// fading out, in list order, and joins it when that draw is below
// min(3 / n, 0.8). Replayed from the same seed on graphs of 0 to 9 vertices
// with vertices fading in and out among them.
TEST(graph_model, push_vertex_replays_position_colour_and_joins)
{
    for (long seed = 1; seed <= 45; seed++) {
        reset_graph();
        srand48(seed);
        int older = static_cast<int>(seed % 9);
        add_isolated_vertices(older);
        if (older >= 2)
            push_vertex();
        if (older >= 4) {
            vertex *gone = nth_vertex(static_cast<int>(seed % 4) + 1);
            fade_vertex(gone);
            delete_edges_of(gone);
        }
        rand48_state before = save_rand48();
        double d[5];
        for (double &r : d)
            r = drand48();
        const double chance = std::min(3.0 / (vertex_count + 1), 0.8);
        std::vector<vertex *> partners;
        for (vertex *u = first_vertex; u != nullptr; u = u->next)
            if (u->state != FADING_OUT && drand48() < chance)
                partners.push_back(u);
        int draws = draws_since(before);
        restore_rand48(before);
        const edge *old_head = first_edge;
        push_vertex();
        ASSERT_EQ(draws_since(before), draws) << "seed " << seed;
        const vertex *v = first_vertex;
        EXPECT_EQ(v->x, bbox.xmin + static_cast<float>(d[0]) * (bbox.xmax - bbox.xmin));
        EXPECT_EQ(v->y, bbox.ymin + static_cast<float>(d[1]) * (bbox.ymax - bbox.ymin));
        EXPECT_EQ(v->r, static_cast<float>(0.5 + 0.5 * d[2]));
        EXPECT_EQ(v->g, static_cast<float>(0.5 + 0.5 * d[3]));
        EXPECT_EQ(v->b, static_cast<float>(0.5 + 0.5 * d[4]));
        EXPECT_EQ(v->alpha, 0.0f);
        EXPECT_EQ(v->state, FADING_IN);
        EXPECT_EQ(new_partners(old_head), partners) << "seed " << seed;
        ASSERT_TRUE(graph_is_consistent());
    }
}

// A draw just below the join chance joins, one at or above it does not:
// the chance is min(3 / n, 0.8) in double with n counting the new vertex,
// and exact chances such as 0.75 show that the comparison is strict.
TEST(graph_model, join_chance_is_three_over_n_capped_at_0_8_and_strict)
{
    const struct {
        int n;
        double chance;
    } cases[] = {{2, 0.8}, {3, 0.8}, {4, 0.75}, {5, 0.6}, {6, 0.5}, {7, 3.0 / 7}, {8, 0.375}};
    for (const auto &c : cases) {
        // The smallest draw at or above the chance; draws step by 2^-48.
        const double at = ldexp(ceil(ldexp(c.chance, 48)), -48);
        for (double draw : {at, at - ldexp(1, -48)}) {
            reset_graph();
            add_isolated_vertices(c.n - 1);
            // Five draws for position and colour come first.
            seed_draw(5, draw);
            push_vertex();
            EXPECT_EQ(edge_between(first_vertex, nth_vertex(1)), draw < c.chance)
                << c.n << " vertices, draw " << draw;
        }
    }
}

// add_random_edge draws a list position i in [0, n - 2], then the partner 1
// to n - 1 - i places further down, the newer vertex as end a; a pair already
// joined or with an end fading out is drawn again, both positions. Replayed
// until no pair is left, after which it returns without a draw; an edge
// still fading out keeps its pair joined.
TEST(graph_model, add_random_edge_replays_its_draws_and_retries)
{
    for (long seed = 1; seed <= 10; seed++) {
        reset_graph();
        srand48(seed);
        add_isolated_vertices(7);
        join_all();
        // Four pairs unjoined, one of them to a vertex fading out.
        const int unjoined[][2] = {{0, 6}, {1, 2}, {2, 5}, {3, 4}};
        for (edge *e = first_edge; e != nullptr; e = e->next)
            for (const auto &pair : unjoined)
                if (e->a == nth_vertex(pair[0]) && e->b == nth_vertex(pair[1]))
                    fade_edge(e);
        fade_step(1);
        fade_vertex(nth_vertex(4));
        delete_edges_of(nth_vertex(4));
        // The pair (5, 6) stays joined until its fading edge is collected.
        fade_edge(first_edge);
        for (int added = 0; added < 3; added++) {
            rand48_state before = save_rand48();
            long i, j;
            int draws = 0;
            do {
                i = lrand48() % 6;
                j = lrand48() % (6 - i) + 1;
                draws += 2;
            } while (nth_vertex(i)->state == FADING_OUT || nth_vertex(i + j)->state == FADING_OUT ||
                     edge_between(nth_vertex(i), nth_vertex(i + j)));
            restore_rand48(before);
            add_random_edge();
            ASSERT_EQ(draws_since(before), draws) << "seed " << seed;
            EXPECT_EQ(first_edge->a, nth_vertex(i));
            EXPECT_EQ(first_edge->b, nth_vertex(i + j));
        }
        rand48_state before = save_rand48();
        add_random_edge();
        EXPECT_EQ(draws_since(before), 0) << "seed " << seed;
        EXPECT_TRUE(graph_is_consistent());
    }
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

// perturb_positions and randomize_positions visit every vertex in list
// order, fading ones included, drawing for x before y. A perturbed
// coordinate moves by (2r - 1) 0.15 in double, is rounded, then held inside
// bbox; starts on the corners and sides show the clamp.
TEST(graph_model, position_edits_replay_their_draws)
{
    reset_graph();
    srand48(23);
    add_isolated_vertices(6);
    push_vertex();
    pop_vertex();
    push_vertex();
    const float starts[][2] = {{bbox.xmin, bbox.ymin}, {bbox.xmax, bbox.ymax}, {bbox.xmin, 0.5f},
                               {0.1f, bbox.ymax}, {0, 0}, {-1.25f, 0.93f}, {0.3f, -0.2f},
                               {bbox.xmax, -0.95f}};
    for (int round = 0; round < 40; round++) {
        int k = 0;
        for (vertex *v = first_vertex; v != nullptr; v = v->next, k++) {
            v->x = starts[(k + round) % 8][0];
            v->y = starts[(k + round) % 8][1];
        }
        rand48_state before = save_rand48();
        std::vector<float> expected;
        for (const vertex *v = first_vertex; v != nullptr; v = v->next) {
            expected.push_back(perturbed(v->x, bbox.xmin, bbox.xmax));
            expected.push_back(perturbed(v->y, bbox.ymin, bbox.ymax));
        }
        restore_rand48(before);
        perturb_positions();
        ASSERT_EQ(positions(), expected) << "round " << round;
    }
    rand48_state before = save_rand48();
    std::vector<float> expected;
    for (int i = 0; i < vertex_count; i++) {
        expected.push_back(bbox.xmin + static_cast<float>(drand48()) * (bbox.xmax - bbox.xmin));
        expected.push_back(bbox.ymin + static_cast<float>(drand48()) * (bbox.ymax - bbox.ymin));
    }
    restore_rand48(before);
    randomize_positions();
    EXPECT_EQ(positions(), expected);
    EXPECT_TRUE(graph_is_consistent());
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
