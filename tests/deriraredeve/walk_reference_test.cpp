// The hashed visited set must leave the picture exactly as a plain list of
// the visited points does: the program's walk, run over each in turn, must
// visit the same points and make the same GL calls in the same order.
#include "gl_recorder.h"
#include "tiling_fixture.h"
#include "visited_list.h"
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

// Every depth, from the origin alone to beyond the frame's depth, on one
// hashed set that is cleared between walks as between frames. The visited
// set decides which tiles are offered, not how they are drawn, so one
// drawing mode shows every difference.
TEST(walk_reference, hashed_set_walks_as_the_plain_list_at_every_depth)
{
    qc_state qc = fresh_tiling();
    qc.draw_mode = DRAW_DUAL_VCOLOR;
    for (int depth = 1; depth <= DEEPEST_WALK; depth++) {
        int point[5] = {0, 0, 0, 0, 0};
        visited_by_list = true;
        recurse(&qc, point, depth);
        std::vector<std::vector<int>> listed = listed_points();
        unsee_vertices(&qc);
        visited_by_list = false;
        std::vector<gl_call> plain = gl_calls;
        gl_reset();

        recurse(&qc, point, depth);
        long diff = first_difference(plain, gl_calls);
        EXPECT_EQ(diff, -1) << "depth " << depth << ": plain list " << describe(plain, diff)
                            << ", hashed " << describe(gl_calls, diff);
        EXPECT_EQ(visited_points(&qc), listed) << "depth " << depth;
        EXPECT_EQ(qc.seen.count, listed.size()) << "depth " << depth;
        unsee_vertices(&qc);
        gl_reset();
    }
    // Some walk past depth 50 visits more points than the first table holds,
    // so the comparison covered a table grown in the middle of a walk.
    EXPECT_GT(qc.seen.capacity, VISITED_FIRST_CAPACITY);
    release_tiling(&qc);
}
