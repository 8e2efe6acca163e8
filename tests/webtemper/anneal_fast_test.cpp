// The fast annealing step must leave every float exactly as the plain step
// leaves it: positions, displacements and temperature, after every step, on
// every kernel this CPU runs, for graphs of every block remainder and with
// the pairs that need special care (coincident, clamped, overflowing).
#include "anneal.h"
#include "anneal_fast.h"
#include "fade.h"
#include "graph.h"
#include "graph_check.h"
#include "plain_anneal.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Left in dx and dy before each step: a step must overwrite it.
constexpr float POISON = 1234.5f;

// x, y, dx, dy of every vertex in list order, then the temperature.
std::vector<float> snapshot()
{
    std::vector<float> s;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next) {
        s.push_back(v->x);
        s.push_back(v->y);
        s.push_back(v->dx);
        s.push_back(v->dy);
    }
    s.push_back(temperature);
    return s;
}

void restore(const std::vector<float> &s)
{
    size_t i = 0;
    for (vertex *v = first_vertex; v != nullptr; v = v->next, i += 4) {
        v->x = s[i];
        v->y = s[i + 1];
        v->dx = POISON;
        v->dy = POISON;
    }
    temperature = s[i];
}

uint32_t bits(float f)
{
    uint32_t b;
    memcpy(&b, &f, sizeof b);
    return b;
}

float from_bits(uint32_t b)
{
    float f;
    memcpy(&f, &b, sizeof f);
    return f;
}

// Equal bits; with any_nan, also two NaNs of whatever sign and payload.
bool same_float(float a, float b, bool any_nan)
{
    return bits(a) == bits(b) || (any_nan && std::isnan(a) && std::isnan(b));
}

// Runs the plain step, then the fast step from the same start, and compares
// the bits of every float. Leaves the fast step's result.
::testing::AssertionResult steps_agree(bool any_nan = false)
{
    static const char *const field[] = {"x", "y", "dx", "dy"};
    std::vector<float> start = snapshot();
    restore(start);
    plain_anneal_step();
    std::vector<float> plain = snapshot();
    restore(start);
    anneal_step();
    std::vector<float> fast = snapshot();
    size_t i = 0;
    while (i < plain.size() && same_float(plain[i], fast[i], any_nan))
        i++;
    if (i == plain.size())
        return ::testing::AssertionSuccess();
    std::string what = i + 1 == plain.size()
                           ? std::string("temperature")
                           : "vertex " + std::to_string(i / 4) + " " + field[i % 4];
    return ::testing::AssertionFailure() << what << ": plain " << plain[i] << " (0x" << std::hex
                                         << bits(plain[i]) << "), fast " << fast[i] << " (0x"
                                         << bits(fast[i]) << ")";
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
    vertex *head = nth_vertex(0);
    vertex *tail = nth_vertex(n - 1);
    place(tail, head->x, head->y);
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
    switch (lrand48() % 6) {
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
    case 4:
        // Hot enough to throw vertices against the sides and into corners.
        temperature = 1;
        break;
    default:
        temperature = 0.006f;
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

void run_against_plain(int n, int steps, long seed)
{
    build_graph(n, seed);
    for (int step = 0; step < steps; step++) {
        ASSERT_TRUE(steps_agree()) << n << " vertices, seed " << seed << ", step " << step;
        if (step % 10 == 9)
            stir_graph();
    }
    EXPECT_TRUE(graph_is_consistent());
}

const char *kernel_name(int kernel)
{
    static const char *const names[] = {"scalar", "sse2", "avx2", "avx512"};
    return names[kernel];
}

// A kernel, and whether every graph of two blocks or more is split between
// two threads.
struct anneal_fast : ::testing::TestWithParam<std::tuple<int, bool>> {
    void SetUp() override
    {
        int kernel = std::get<0>(GetParam());
        if (!repel_kernel_supported(kernel))
            GTEST_SKIP() << kernel_name(kernel) << " not supported here";
        ASSERT_EQ(select_repel_kernel(kernel), kernel);
        if (std::get<1>(GetParam()))
            set_repel_split_min(0);
    }
    void TearDown() override
    {
        select_repel_kernel(REPEL_BEST);
        set_repel_split_min(REPEL_SPLIT_MIN);
    }
};

} // namespace

TEST_P(anneal_fast, small_graphs_match_the_plain_step)
{
    const int sizes[] = {0, 1, 2, 3, 7, 8, 9, 15, 16, 17, 31, 33, 100};
    for (int n : sizes)
        run_against_plain(n, 300, 1000 + n);
}

TEST_P(anneal_fast, large_graphs_match_the_plain_step)
{
    run_against_plain(257, 100, 257);
    run_against_plain(1000, 20, 1000);
    run_against_plain(2000, 6, 2000);
}

// Offsets that overflow hypotf or k²/d, subnormal and zero distances, an
// infinite k and a k of 0.
TEST_P(anneal_fast, extreme_geometry_matches_the_plain_step)
{
    const rect boxes[] = {
        {-3e38f, 3e38f, -1, 1},              // x offsets overflow to infinity
        {-3e38f, 3e38f, -3e38f, 3e38f},      // area and k infinite
        {-1e-38f, 1e-38f, -1e-38f, 1e-38f},  // subnormal offsets, k = 0
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
            for (int step = 0; step < 20; step++)
                ASSERT_TRUE(steps_agree()) << "bbox x from " << box.xmin << ", step " << step;
        }
    }
}

// Distances exactly halfway between two floats, from Pythagorean triples
// (p² - q², 2pq, p² + q²) with an odd hypotenuse of 25 bits, and distances
// next to such midpoints, put in every lane of a block: a distance that is
// estimated rather than taken exactly must not round the other way there.
TEST_P(anneal_fast, distances_at_float_midpoints_match_the_plain_step)
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
        place(nth_vertex(32 + placed),
              static_cast<float>(1LL * p * p - 1LL * q * q) * scale,
              static_cast<float>(b) * scale);
        placed++;
    }
    ASSERT_EQ(placed, 32);
    ASSERT_TRUE(steps_agree()) << "exact midpoints";
    // The same offsets, one float step off along y.
    for (int i = 32; i < 64; i++) {
        vertex *v = nth_vertex(i);
        place(v, v->x, nextafterf(v->y, i % 2 ? INFINITY : 0));
    }
    ASSERT_TRUE(steps_agree()) << "next to midpoints";
}

// An inverted bbox makes k NaN, and coincident vertices then add the NaNs k
// and -k of opposite signs to the same sum: which sign survives is the
// compiler's choice in the plain step too. Everything else keeps its bits.
TEST_P(anneal_fast, nan_k_gives_nan_pushes_and_the_same_positions)
{
    build_graph(33, 3);
    bbox = {1, -1, -1, 1};
    randomize_positions();
    place_hard_cases();
    for (int step = 0; step < 5; step++)
        ASSERT_TRUE(steps_agree(true)) << "step " << step;
    EXPECT_TRUE(std::isnan(first_vertex->dx));
}

// Positions the model never produces: between two infinite ones the offset
// is NaN along x and infinite along y, where hypotf gives infinity and the
// kernels NaN. The pushes are the same default NaN either way.
TEST_P(anneal_fast, infinite_positions_match_the_plain_step)
{
    build_graph(20, 5);
    place(nth_vertex(3), INFINITY, 0);
    place(nth_vertex(11), INFINITY, -INFINITY);
    place(nth_vertex(12), -INFINITY, 0.5f);
    EXPECT_TRUE(steps_agree());
}

INSTANTIATE_TEST_SUITE_P(
    kernels, anneal_fast,
    ::testing::Combine(::testing::Values(REPEL_SCALAR, REPEL_SSE2, REPEL_AVX2, REPEL_AVX512),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<int, bool>> &info) {
        return std::string(kernel_name(std::get<0>(info.param))) +
               (std::get<1>(info.param) ? "_two_threads" : "_one_thread");
    });

// The SIMD kernels take the distance as (float)sqrt(x² + y²) in double,
// which must be exactly what hypotf returns for every pair of floats that
// are not NaN.
TEST(hypot_in_double, equals_hypotf_unless_an_operand_is_nan)
{
    auto same = [](float x, float y) {
        float d = static_cast<float>(sqrt(static_cast<double>(x) * x + static_cast<double>(y) * y));
        return bits(d) == bits(hypotf(x, y));
    };
    const float edges[] = {0.0f,          -0.0f,         FLT_TRUE_MIN, -FLT_TRUE_MIN,
                           FLT_MIN,       FLT_MIN / 3,   FLT_MAX,      -FLT_MAX,
                           FLT_MAX / 2,   1.0f,          3.0f,         4.0f,
                           1e-20f,        1e20f,         1.8446743e19f, 5.4210109e-20f,
                           INFINITY,      -INFINITY};
    for (float x : edges)
        for (float y : edges)
            ASSERT_TRUE(same(x, y)) << x << ", " << y;
    srand48(42);
    const long draws = 4000000;
    for (long i = 0; i < draws; i++) {
        uint32_t a = static_cast<uint32_t>(lrand48()) ^ (static_cast<uint32_t>(lrand48()) << 16);
        uint32_t b = static_cast<uint32_t>(lrand48()) ^ (static_cast<uint32_t>(lrand48()) << 16);
        switch (i % 4) {
        case 1:
            // Equal exponents: the two squares are of similar size.
            b = (a & 0xff800000u) | (b & 0x007fffffu);
            break;
        case 2:
            // Subnormal and small operands.
            a &= 0x80ffffffu;
            b &= 0x81ffffffu;
            break;
        case 3:
            // Equal magnitudes.
            b = (a & 0x7fffffffu) | (b & 0x80000000u);
            break;
        }
        float x = from_bits(a);
        float y = from_bits(b);
        if (std::isnan(x) || std::isnan(y))
            continue;
        ASSERT_TRUE(same(x, y)) << std::hexfloat << x << ", " << y;
    }
    // Distances next to a midpoint m between two floats, where rounding the
    // square root twice could differ from rounding it once: x is the float
    // below m and y about sqrt(m² - x²), with its neighbours.
    for (long i = 0; i < draws / 8; i++) {
        float x = static_cast<float>(ldexp(1 + drand48(), static_cast<int>(lrand48() % 120) - 60));
        double m = x + (nextafterf(x, INFINITY) - x) / 2.0;
        float y0 = static_cast<float>(sqrt(m * m - static_cast<double>(x) * x));
        uint32_t y_bits = bits(y0);
        for (uint32_t y = y_bits - 2; y <= y_bits + 2; y++)
            ASSERT_TRUE(same(x, from_bits(y))) << std::hexfloat << x << ", " << from_bits(y);
    }
}
