#include "walk.h"

#include "gl_recorder.h"
#include "test_support.h"
#include "tiling_fixture.h"
#include "vector.h"
#include "window.h"

#include <GL/gl.h>
#include <algorithm>
#include <cmath>

// Lattice points in the visited set whose perpendicular image is inside.
static int accepted_count(const qc_state *qc)
{
    int n = 0;
    for (const std::vector<int> &point : visited_points(qc)) {
        double p[5];
        for (int i = 0; i < 5; i++)
            p[i] = point[i] + qc->offset[i];
        rotate_point(5, p, p, qc->matrix);
        n += test_bounds(3, p + 2, qc->bound_count, qc->bounds);
    }
    return n;
}

TEST(lattice_walk, depth_one_handles_only_the_origin)
{
    qc_state qc = fresh_tiling();
    int point[5] = {0, 0, 0, 0, 0};
    recurse(&qc, point, 1);
    ASSERT_EQ(visited_count(&qc), 1);
    EXPECT_EQ(visited_points(&qc)[0], (std::vector<int>{0, 0, 0, 0, 0}));
    EXPECT_EQ(accepted_count(&qc), 1);
    // The point array is restored after the neighbours are tried.
    EXPECT_EQ(std::count(point, point + 5, 0), 5);
    release_tiling(&qc);
}

TEST(lattice_walk, point_outside_the_window_is_recorded_but_not_expanded)
{
    qc_state qc = fresh_tiling();
    qc.offset[0] = 5;
    int point[5] = {0, 0, 0, 0, 0};
    recurse(&qc, point, 50);
    EXPECT_EQ(visited_count(&qc), 1);
    EXPECT_TRUE(gl_calls.empty());
    release_tiling(&qc);
}

TEST(lattice_walk, seen_vertex_test_records_each_point_once)
{
    qc_state qc = fresh_tiling();
    int a[5] = {1, -2, 3, 0, 0}, b[5] = {1, -2, 3, 0, 1};
    EXPECT_EQ(seen_vertex_test(&qc, a), 0);
    EXPECT_EQ(seen_vertex_test(&qc, b), 0);
    EXPECT_EQ(seen_vertex_test(&qc, a), 1);
    EXPECT_EQ(visited_count(&qc), 2);
    unsee_vertices(&qc);
    EXPECT_EQ(visited_count(&qc), 0);
    EXPECT_EQ(seen_vertex_test(&qc, a), 0);
    release_tiling(&qc);
}

TEST(lattice_walk, full_depth_frame_counts)
{
    qc_state qc = fresh_tiling();
    int point[5] = {0, 0, 0, 0, 0};
    recurse(&qc, point, WALK_DEPTH);
    int visited = visited_count(&qc), accepted = accepted_count(&qc);
    unsee_vertices(&qc);
    int drawn = int(gl_calls_named("glBegin").size()) / 2;
    EXPECT_EQ(visited, 3761);
    EXPECT_EQ(accepted, 946);
    EXPECT_EQ(drawn, 989);
    // Every coordinate and colour of the frame, the same bits on every
    // architecture: pinned as computed on x86-64.
    std::vector<double> args;
    for (const gl_call &call : gl_calls)
        args.insert(args.end(), call.args.begin(), call.args.end());
    EXPECT_EQ(bits_hash(args), 0xad7269447c3ca3e6u);
    RecordProperty("visited", visited);
    RecordProperty("accepted", accepted);
    RecordProperty("tiles_offered", 10 * accepted);
    RecordProperty("tiles_drawn", drawn);
    release_tiling(&qc);
}

TEST(lattice_walk, frame_is_wrapped_in_a_scaled_matrix)
{
    qc_state qc = fresh_tiling();
    do_draw(&qc);
    ASSERT_GT(gl_calls.size(), 5u);
    EXPECT_EQ(gl_calls[0].name, "glClear");
    EXPECT_EQ(gl_calls[0].args[0], GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl_calls[1].name, "glPushMatrix");
    EXPECT_EQ(gl_calls[2].name, "glScalef");
    EXPECT_EQ(gl_calls[2].args, (std::vector<double>{0.2f, 0.2f, 1}));
    EXPECT_EQ(gl_calls[3].args, (std::vector<double>{1, 1, 1}));
    EXPECT_EQ(gl_calls.back().name, "glPopMatrix");
    release_tiling(&qc);
}

// Convex quadrilaterals whose interiors overlap: no edge normal of either
// separates them (touching along an edge does not count).
static bool interiors_overlap(const drawn_rhombus &p, const drawn_rhombus &q)
{
    for (const drawn_rhombus *r : {&p, &q}) {
        for (int e = 0; e < 4; e++) {
            double nx = r->y[(e + 1) % 4] - r->y[e], ny = r->x[e] - r->x[(e + 1) % 4];
            double p_lo = INFINITY, p_hi = -INFINITY, q_lo = INFINITY, q_hi = -INFINITY;
            for (int k = 0; k < 4; k++) {
                p_lo = fmin(p_lo, p.x[k] * nx + p.y[k] * ny);
                p_hi = fmax(p_hi, p.x[k] * nx + p.y[k] * ny);
                q_lo = fmin(q_lo, q.x[k] * nx + q.y[k] * ny);
                q_hi = fmax(q_hi, q.x[k] * nx + q.y[k] * ny);
            }
            if (p_hi <= q_lo + 1e-9 || q_hi <= p_lo + 1e-9)
                return false;
        }
    }
    return true;
}

struct tiling_geometry : ::testing::Test {
    std::vector<drawn_rhombus> rhombi;
    double direction[5][2];  // each lattice direction, projected
    void SetUp() override
    {
        qc_state qc = fresh_tiling();
        do_draw(&qc);
        rhombi = recorded_solid_rhombi();
        for (int k = 0; k < 5; k++) {
            direction[k][0] = qc.matrix[k];
            direction[k][1] = qc.matrix[5 + k];
        }
        release_tiling(&qc);
    }
    // The lattice direction that the side from corner 0 to corner k is.
    int side_direction(const drawn_rhombus &r, int k) const
    {
        for (int d = 0; d < 5; d++) {
            if (is_near(direction[d][0], r.x[k] - r.x[0], 1e-12) &&
                is_near(direction[d][1], r.y[k] - r.y[0], 1e-12))
                return d;
        }
        return -1;
    }
};

// Each rhombus goes round from its base A to B = A + e_i, C = A + e_i + e_j
// and D = A + e_j with i < j, so its sides are lattice steps; the rhombi of
// one base come in the order of their pairs (i, j).
TEST_F(tiling_geometry, each_rhombus_is_spanned_by_two_lattice_steps_in_pair_order)
{
    ASSERT_FALSE(rhombi.empty());
    std::pair<int, int> previous = {-1, -1};
    for (size_t t = 0; t < rhombi.size(); t++) {
        const drawn_rhombus &r = rhombi[t];
        std::pair<int, int> pair = {side_direction(r, 1), side_direction(r, 3)};
        ASSERT_TRUE(pair.first >= 0 && pair.first < pair.second) << "rhombus " << t;
        for (int axis = 0; axis < 2; axis++) {
            const double *corner = axis == 0 ? r.x : r.y;
            EXPECT_TRUE(is_near(direction[pair.first][axis] + direction[pair.second][axis],
                                corner[2] - corner[0], 1e-12));
        }
        if (t > 0 && r.x[0] == rhombi[t - 1].x[0] && r.y[0] == rhombi[t - 1].y[0]) {
            EXPECT_LT(previous, pair) << "rhombus " << t;
        }
        previous = pair;
    }
}

TEST_F(tiling_geometry, no_two_rhombi_overlap)
{
    std::sort(rhombi.begin(), rhombi.end(),
              [](const drawn_rhombus &a, const drawn_rhombus &b) { return a.x[0] < b.x[0]; });
    int overlaps = 0;
    for (size_t i = 0; i < rhombi.size(); i++) {
        // A rhombus reaches at most two sides (2 * 0.64) from its base corner.
        for (size_t j = i + 1; j < rhombi.size() && rhombi[j].x[0] - rhombi[i].x[0] < 1.3; j++)
            overlaps += interiors_overlap(rhombi[i], rhombi[j]);
    }
    EXPECT_EQ(overlaps, 0);
}

TEST_F(tiling_geometry, thick_and_thin_come_near_the_golden_ratio)
{
    int thin = 0;
    for (const drawn_rhombus &r : rhombi)
        thin += thin_by_angle(r);
    int thick = int(rhombi.size()) - thin;
    RecordProperty("thick", thick);
    RecordProperty("thin", thin);
    EXPECT_TRUE(is_near(1.618034, double(thick) / thin, 0.05)) << thick << ":" << thin;
}
