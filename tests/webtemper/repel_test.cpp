// repel_vertices must leave every dx and dy exactly as plain_repel leaves
// them, on every kernel this CPU runs: before every step of layouts that
// evolve under the program's own annealing and edits, for graphs of every
// block remainder, and with the pairs that need care (coincident, clamped
// into corners, subnormal and overflowing offsets, distances at float
// midpoints, where a distance not rounded like hypotf shows).
#include "anneal.h"
#include "fade.h"
#include "graph.h"
#include "graph_check.h"
#include "plain_repel.h"
#include "repel.h"
#include "repel_block.h"
#include "repel_kernels.h"
#include "repel_timing.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// WEBTEMPER_TEST_REPEL_KERNEL=NAME runs every test of this program with
// that pair kernel, so that the pinned results of the annealing and graph
// tests hold each kernel too, not only the comparisons below;
// scripts/test-x86-cpus runs each kernel so on older processors' models.
// Where the processor lacks the kernel, the program says so and exits with
// status 77, which ctest and scripts/test-x86-cpus count as skipped (a
// skip of Google Test's global set-up would be reported as passed).
constexpr int SKIPPED_STATUS = 77;
int forced_kernel = -1;

struct forced_kernel_environment : ::testing::Environment {
    void SetUp() override
    {
        const char *name = getenv("WEBTEMPER_TEST_REPEL_KERNEL");
        if (name == nullptr || *name == 0)
            return;
        for (int kernel = 0; kernel < REPEL_KERNEL_COUNT; kernel++) {
            if (strcmp(name, repel_kernel_name(kernel)) == 0)
                forced_kernel = kernel;
        }
        ASSERT_GE(forced_kernel, 0) << "WEBTEMPER_TEST_REPEL_KERNEL=" << name
                                    << " names no pair kernel";
        if (!repel_kernel_supported(forced_kernel)) {
            fprintf(stderr, "WEBTEMPER_TEST_REPEL_KERNEL=%s: not supported by this processor, "
                            "so no test runs\n", name);
            exit(SKIPPED_STATUS);
        }
        use_repel_kernel(forced_kernel);
    }
};

const ::testing::Environment *const forced_kernel_registered =
    ::testing::AddGlobalTestEnvironment(new forced_kernel_environment);

// What the other tests run with: the forced kernel or else the widest.
int kernel_of_the_other_tests()
{
    return forced_kernel >= 0 ? forced_kernel : best_repel_kernel();
}

uint32_t bits(float f)
{
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

std::vector<float> push_fields()
{
    return vertex_fields(&vertex::dx, &vertex::dy);
}

// Compares the bits of both repulsions on the current layout, with k as
// the step takes it. Two NaNs of any sign and payload agree: which one an
// operation makes is the processor's (x86's default NaN is negative, ARM's
// positive, and armel's software floating point passes an operand's on),
// and the step moves no vertex whose push is NaN.
::testing::AssertionResult repel_matches_plain()
{
    if (vertex_count == 0)
        return ::testing::AssertionSuccess();
    float area = (bbox.xmax - bbox.xmin) * (bbox.ymax - bbox.ymin);
    float k = sqrtf(area / vertex_count);
    plain_repel(k, k * k);
    std::vector<float> plain = push_fields();
    for (vertex *v = first_vertex; v != nullptr; v = v->next)
        v->dx = v->dy = 1234.5f; // must be overwritten
    repel_vertices(k, k * k);
    std::vector<float> fast = push_fields();
    for (size_t i = 0; i < plain.size(); i++) {
        bool same = bits(plain[i]) == bits(fast[i]) ||
                    (std::isnan(plain[i]) && std::isnan(fast[i]));
        if (!same)
            return ::testing::AssertionFailure()
                   << "vertex " << i / 2 << (i % 2 ? " dy" : " dx") << ": plain " << std::hexfloat
                   << plain[i] << ", kernel " << fast[i];
    }
    return ::testing::AssertionSuccess();
}

void place(vertex *v, float x, float y)
{
    v->x = x;
    v->y = y;
}

vertex *random_vertex()
{
    return nth_vertex(static_cast<int>(lrand48() % vertex_count));
}

// Exact duplicates at both ends of the list, inside one block and across
// blocks, and vertices held in the corners and on the sides, several of
// them in the same corner.
void place_hard_cases()
{
    int n = vertex_count;
    if (n < 2)
        return;
    place(nth_vertex(n - 1), first_vertex->x, first_vertex->y);
    place(nth_vertex(1), nth_vertex(n / 2)->x, nth_vertex(n / 2)->y);
    int extra = n / 8 < 12 ? n / 8 : 12;
    for (int i = 0; i < extra; i++) {
        vertex *a = random_vertex();
        place(random_vertex(), a->x, a->y);
    }
    const float corner_x[] = {bbox.xmin, bbox.xmax, bbox.xmin, bbox.xmax};
    const float corner_y[] = {bbox.ymin, bbox.ymin, bbox.ymax, bbox.ymax};
    for (int i = 0; i < 2 + extra; i++)
        place(random_vertex(), corner_x[i % 4], corner_y[i % 4]);
    place(random_vertex(), bbox.xmin, random_vertex()->y);
    place(random_vertex(), random_vertex()->x, bbox.ymax);
}

// Subnormal distances: k²/d overflows to infinite pushes, and 0 × inf makes
// NaN ones.
void place_subnormal_offsets()
{
    if (vertex_count < 2)
        return;
    place(random_vertex(), 0, 0);
    place(random_vertex(), 0, FLT_TRUE_MIN);
    place(random_vertex(), FLT_TRUE_MIN, FLT_TRUE_MIN);
    place(random_vertex(), -8.9e-39f, 0);
}

// A random edit of the kinds the key commands make, or a change of heat.
void stir_graph()
{
    switch (lrand48() % 5) {
    case 0:
        perturb_positions();
        break;
    case 1:
        push_vertex();
        break;
    case 2:
        delete_random_vertex();
        add_random_edge();
        break;
    case 3:
        fade_step(0.05f);
        break;
    default:
        // Hot enough to throw vertices against the sides and into corners.
        temperature = temperature > 0.5f ? 0.006f : 1;
        break;
    }
    if (vertex_count > 0 && lrand48() % 2 == 0)
        place_hard_cases();
    if (vertex_count > 0 && lrand48() % 4 == 0)
        place_subnormal_offsets();
}

// A graph of n vertices built like the a key does, some fading out.
void build_graph(int n, long seed)
{
    reset_graph();
    srand48(seed);
    for (int i = 0; i < n; i++)
        push_vertex();
    for (int i = 0; i < n / 10; i++) {
        vertex *v = random_vertex();
        fade_vertex(v);
        delete_edges_of(v);
    }
    fade_step(0.1f);
    place_hard_cases();
    place_subnormal_offsets();
}

void anneal_against_plain(int n, int steps, long seed)
{
    build_graph(n, seed);
    for (int step = 0; step < steps; step++) {
        ASSERT_TRUE(repel_matches_plain()) << n << " vertices, seed " << seed << ", step " << step;
        anneal_step();
        if (step % 10 == 9)
            stir_graph();
    }
    EXPECT_TRUE(graph_is_consistent());
}

struct repel : ::testing::TestWithParam<int> {
    void SetUp() override
    {
        if (forced_kernel >= 0 && GetParam() != forced_kernel)
            GTEST_SKIP() << "only " << repel_kernel_name(forced_kernel)
                         << " runs (WEBTEMPER_TEST_REPEL_KERNEL)";
        if (!repel_kernel_supported(GetParam()))
            GTEST_SKIP() << repel_kernel_name(GetParam()) << " not supported by this processor";
        use_repel_kernel(GetParam());
    }
    void TearDown() override { use_repel_kernel(kernel_of_the_other_tests()); }
};

} // namespace

TEST_P(repel, small_and_large_graphs_match_the_plain_repulsion)
{
    for (int n : {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 100})
        anneal_against_plain(n, 100, 1000 + n);
    anneal_against_plain(257, 30, 257);
    anneal_against_plain(1000, 4, 1000);
}

// Offsets that overflow hypotf or k²/d, subnormal and zero distances, an
// infinite k and a k of 0; coordinates at the bounds of the positions check.
TEST_P(repel, extreme_geometry_matches_the_plain_repulsion)
{
    const rect boxes[] = {
        {-3e38f, 3e38f, -1, 1},                 // x offsets overflow to infinity
        {-3e38f, 3e38f, -3e38f, 3e38f},         // area and k infinite
        {-1e-38f, 1e-38f, -1e-38f, 1e-38f},     // subnormal offsets, k = 0
        {-4 / 3.0f, 4 / 3.0f, -1e-44f, 1e-44f}, // flat
    };
    for (const rect &box : boxes) {
        for (int n : {2, 9, 33}) {
            build_graph(n, n);
            bbox = box;
            randomize_positions();
            place_hard_cases();
            place_subnormal_offsets();
            place(nth_vertex(n / 2), box.xmin + FLT_TRUE_MIN, box.ymin);
            for (int step = 0; step < 20; step++) {
                ASSERT_TRUE(repel_matches_plain())
                    << "bbox x from " << box.xmin << ", step " << step;
                anneal_step();
            }
        }
    }

    // The positions check at its bounds, for x and y of the first and the
    // last vertex and for k²: 0 and sizes from 2^-40 to 2^40 go to the
    // estimating kernels, the floats just beyond, infinities and NaN to the
    // exact ones. The padding after the last vertex holds NaN here, which
    // the check must not read.
    const struct {
        float value;
        bool estimable;
    } bounds[] = {
        {0, true},
        {-0.0f, true},
        {0x1p-40f, true},
        {-0x1p-40f, true},
        {0x1p40f, true},
        {-0x1p40f, true},
        {nextafterf(0x1p-40f, 0), false},
        {-nextafterf(0x1p-40f, 0), false},
        {nextafterf(0x1p40f, INFINITY), false},
        {-nextafterf(0x1p40f, INFINITY), false},
        {FLT_TRUE_MIN, false},
        {INFINITY, false},
        {-INFINITY, false},
        {NAN, false},
    };
    const int n = 17; // the last vertex alone in its block
    for (const auto &b : bounds) {
        for (int slot = 0; slot < 5; slot++) { // x, y of the first; x, y of the last; k²
            reset_graph();
            srand48(slot);
            for (int i = 0; i < n; i++)
                push_vertex();
            vertex *v = slot < 2 ? first_vertex : nth_vertex(n - 1);
            if (slot % 2 == 0 && slot < 4)
                v->x = b.value;
            else if (slot < 4)
                v->y = b.value;
            std::vector<float> x(repel_padded_count(n), NAN);
            std::vector<float> y(x);
            int i = 0;
            for (const vertex *u = first_vertex; u != nullptr; u = u->next, i++) {
                x[i] = u->x;
                y[i] = u->y;
            }
            float k2 = slot == 4 ? b.value : 1;
            EXPECT_EQ(estimable_positions({x.data(), y.data(), nullptr, nullptr, n, 1, k2}),
                      b.estimable)
                << std::hexfloat << b.value << " in slot " << slot;
            // (A vertex's push on itself is NaN at an infinite position,
            // which the model never makes.)
            if (std::isfinite(b.value)) {
                ASSERT_TRUE(repel_matches_plain()) << std::hexfloat << b.value << " in slot " << slot;
            }
        }
    }
}

// Distances exactly halfway between two floats, from Pythagorean triples
// (p² - q², 2pq, p² + q²) with an odd hypotenuse of 25 bits, in every lane
// of a block, and one float step beside them: a distance that is not
// rounded once from the exact root rounds the wrong way there. Then
// quotients halfway between two subnormal floats.
TEST_P(repel, distances_and_quotients_at_float_midpoints_match_the_plain_repulsion)
{
    reset_graph();
    srand48(64);
    for (int i = 0; i < 64; i++)
        push_vertex();
    const float scale = 0x1p-24f;
    int placed = 0;
    for (int p = 4097; placed < 32 && p < 5000; p += 2) {
        int q = 1000 + placed * 32; // even, so p² + q² is odd
        long long c = 1LL * p * p + 1LL * q * q;
        long long b = 2LL * p * q;
        if (c < (1LL << 24) || c >= (1LL << 25) || b >= (1LL << 24))
            continue;
        // Vertex 32 + placed sits at the offset from the vertex at 0.
        place(nth_vertex(placed), 0, 0);
        place(nth_vertex(32 + placed), static_cast<float>(1LL * p * p - 1LL * q * q) * scale,
              static_cast<float>(b) * scale);
        placed++;
    }
    ASSERT_EQ(placed, 32);
    ASSERT_TRUE(repel_matches_plain()) << "exact midpoints";
    for (int i = 32; i < 64; i++) {
        vertex *v = nth_vertex(i);
        place(v, v->x, nextafterf(v->y, i % 2 ? INFINITY : 0));
    }
    ASSERT_TRUE(repel_matches_plain()) << "next to midpoints";

    // Two vertices whose dx / d or k² / d lies exactly halfway between two
    // subnormal floats, where a product with 1 / d rounds the wrong way:
    // near a tiny coordinate, with a huge one, and with a tiny k².
    struct pair_case {
        rect box;
        float x0, x1, y1;
    };
    const pair_case cases[] = {
        {{-0x1p17f, 0x1p17f, -0x1p17f, 0x1p17f}, 0x1p-100f, 0x1p-100f + 147 * 0x1p-123f,
         49 * 0x1p27f},
        {{-0x1p47f, 0x1p47f, -0x1p47f, 0x1p47f}, 0x1p-40f, 0x1p-40f + 147 * 0x1p-63f, 49 * 0x1p87f},
        {{0, 35 * 0x1p-61f, 0, 35 * 0x1p-62f}, 1, 1, 245 * 0x1p26f},
    };
    for (const pair_case &c : cases) {
        // Along x as written, then with x and y exchanged.
        for (bool across : {false, true}) {
            reset_graph();
            push_vertex();
            push_vertex();
            bbox = across ? rect{c.box.ymin, c.box.ymax, c.box.xmin, c.box.xmax} : c.box;
            place(first_vertex, across ? 0 : c.x0, across ? c.x0 : 0);
            place(nth_vertex(1), across ? c.y1 : c.x1, across ? c.x1 : c.y1);
            ASSERT_TRUE(repel_matches_plain())
                << "subnormal quotient, bbox x to " << bbox.xmax << ", y to " << bbox.ymax;
        }
    }
}

// An inverted bbox makes k NaN, and coincident vertices then add the NaNs k
// and -k of opposite signs to the same sum: which sign survives is the
// compiler's choice in the plain visit too. Positions that the model never
// produces: between two infinite ones the offset is NaN along x and
// infinite along y, where hypotf gives infinity and the kernels NaN; the
// pushes are NaN either way.
TEST_P(repel, nan_k_and_infinite_positions_give_nan_pushes)
{
    build_graph(33, 3);
    bbox = {1, -1, -1, 1};
    randomize_positions();
    place_hard_cases();
    EXPECT_TRUE(repel_matches_plain());
    EXPECT_TRUE(std::isnan(first_vertex->dx));

    build_graph(20, 5);
    place(nth_vertex(3), INFINITY, 0);
    place(nth_vertex(11), INFINITY, -INFINITY);
    place(nth_vertex(12), -INFINITY, 0.5f);
    EXPECT_TRUE(repel_matches_plain());
}

INSTANTIATE_TEST_SUITE_P(kernels, repel, ::testing::Range(0, int{REPEL_KERNEL_COUNT}),
                         [](const ::testing::TestParamInfo<int> &info) {
                             return std::string(repel_kernel_name(info.param));
                         });

// The program's start-up choice times every kernel this processor runs and
// keeps one of them; one it lacks would stop the program with an illegal
// instruction, which scripts/test-x86-cpus shows on processors without
// AVX2 or AVX-512.
TEST(repel_choice, start_up_picks_a_kernel_this_processor_runs)
{
    EXPECT_TRUE(repel_kernel_supported(best_repel_kernel()));
    int picked = fastest_repel_kernel();
    EXPECT_TRUE(repel_kernel_supported(picked)) << repel_kernel_name(picked);
}
