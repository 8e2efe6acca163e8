// The hashed visited set must leave the picture exactly as the plain list
// drew it: same points visited, same GL calls with the same arguments, in
// the same order, in every drawing mode and at every depth.
#include "gl_recorder.h"
#include "plain_walk.h"
#include "tiling_fixture.h"
#include "walk.h"

#include <algorithm>
#include <string>

// The deepest walk compared: past the frame's 50, and far enough that the
// hashed table has to grow in the middle of a walk.
constexpr int DEEPEST_WALK = 60;  // lattice steps

// Index of the first call that differs (the shorter size when one sequence
// is a prefix of the other), or -1 when the two are identical.
static long first_difference(const std::vector<gl_call> &a, const std::vector<gl_call> &b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; i++) {
        if (a[i].name != b[i].name || a[i].args != b[i].args)
            return long(i);
    }
    return a.size() == b.size() ? -1 : long(n);
}

static std::string describe(const std::vector<gl_call> &calls, long i)
{
    return size_t(i) < calls.size() ? calls[i].name : std::string("(end)");
}

// The points a list holds, in ascending order like visited_points.
static std::vector<std::vector<int>> listed_points(const seen_node *seen, unsigned dim)
{
    std::vector<std::vector<int>> points;
    for (const seen_node *node = seen; node != nullptr; node = node->next)
        points.emplace_back(node->coords, node->coords + dim);
    std::sort(points.begin(), points.end());
    return points;
}

struct walk_reference : ::testing::TestWithParam<unsigned> {
    qc_state qc;
    void SetUp() override
    {
        qc = fresh_tiling();
        qc.draw_mode = GetParam();
    }
    void TearDown() override { release_tiling(&qc); }
};

// Whole frames, with and without colouring by type; the second hashed frame
// reuses the table the first one filled and cleared.
TEST_P(walk_reference, full_frame_draws_the_same_calls)
{
    for (unsigned by_type = 0; by_type < 2; by_type++) {
        qc.color_by_type = by_type;
        seen_node *seen = nullptr;
        plain_do_draw(&qc, &seen);
        std::vector<gl_call> plain = gl_calls;
        for (int frame = 0; frame < 2; frame++) {
            gl_reset();
            do_draw(&qc);
            long diff = first_difference(plain, gl_calls);
            EXPECT_EQ(diff, -1) << "colour by type " << by_type << ", frame " << frame
                                << ": plain " << describe(plain, diff) << ", hashed "
                                << describe(gl_calls, diff);
        }
        // Not two empty frames: every mode spends at least five calls on
        // each of the frame's 989 tiles.
        EXPECT_GE(plain.size(), 5 * 989u);
        gl_reset();
    }
}

// Every depth, from the origin alone to beyond the frame's depth, on one
// hashed set that is cleared between walks as between frames.
TEST_P(walk_reference, every_depth_draws_the_same_calls_from_the_same_points)
{
    qc.color_by_type = 1;
    for (int depth = 1; depth <= DEEPEST_WALK; depth++) {
        int point[5] = {0, 0, 0, 0, 0};
        seen_node *seen = nullptr;
        plain_recurse(&qc, &seen, point, depth);
        std::vector<gl_call> plain = gl_calls;
        std::vector<std::vector<int>> plain_points = listed_points(seen, qc.dim);
        plain_unsee_vertices(&seen);
        gl_reset();

        recurse(&qc, point, depth);
        long diff = first_difference(plain, gl_calls);
        EXPECT_EQ(diff, -1) << "depth " << depth << ": plain " << describe(plain, diff)
                            << ", hashed " << describe(gl_calls, diff);
        EXPECT_EQ(visited_points(&qc), plain_points) << "depth " << depth;
        EXPECT_EQ(qc.seen.count, plain_points.size()) << "depth " << depth;
        unsee_vertices(&qc);
        gl_reset();
    }
    // Some walk past depth 50 visits more points than the first table holds,
    // so the comparison covered a table grown in the middle of a walk.
    EXPECT_GT(qc.seen.capacity, VISITED_FIRST_CAPACITY);
}

INSTANTIATE_TEST_SUITE_P(drawing_modes, walk_reference,
                         ::testing::Values(DRAW_SOLID, DRAW_ELLIPSE, DRAW_DUAL_VCOLOR,
                                           DRAW_DUAL_PCOLOR));
