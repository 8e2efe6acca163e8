#include "window.h"

#include "vector.h"

#include "test_support.h"

#include <cmath>
#include <cstdlib>

// The five-fold projection built from its definition with sin and cos:
// rows 2cos/2sin of 72 j and 144 j degrees and a constant row, / sqrt(10).
static void five_fold_projection(double *M)
{
    const double degree = M_PI / 180;
    for (int j = 0; j < 5; j++) {
        M[0 * 5 + j] = 2 * cos(72 * j * degree);
        M[1 * 5 + j] = 2 * sin(72 * j * degree);
        M[2 * 5 + j] = 2 * cos(144 * j * degree);
        M[3 * 5 + j] = 2 * sin(144 * j * degree);
        M[4 * 5 + j] = sqrt(2.0);
    }
    v_s_mul(25, M, 1 / sqrt(10.0));
}

struct window_fixture : ::testing::Test {
    double M[25];
    unsigned count = 0;
    double *bounds = nullptr;

    void SetUp() override
    {
        five_fold_projection(M);
        bounds = compute_bounds(&count, 5, M, 2);
    }
    void TearDown() override { free(bounds); }

    // Perpendicular image of the hypercube corner with coordinate bits h.
    void corner_image(unsigned h, double *y) const
    {
        double p[5];
        for (int i = 0; i < 5; i++)
            p[i] = (h >> i) & 1 ? 0.5 : -0.5;
        rotate_point(5, p, p, M);
        v_copy(3, y, p + 2);
    }
};

TEST(choose, small_values)
{
    EXPECT_EQ(choose(5, 2), 10u);
    EXPECT_EQ(choose(5, 0), 1u);
    EXPECT_EQ(choose(5, 5), 1u);
    EXPECT_EQ(choose(5, 3), 10u);
    EXPECT_EQ(choose(10, 4), 210u);
}

TEST(unit_point_of_selection, bits_follow_the_selection)
{
    const unsigned char selection[5] = {1, 3, 0, 2, 4};
    double p[5];
    unit_point_of_selection(p, 5, selection, 0x5);  // bits 0 and 2
    EXPECT_EQ(p[1], 0.5);
    EXPECT_EQ(p[3], -0.5);
    EXPECT_EQ(p[0], 0.5);
    EXPECT_EQ(p[2], -0.5);
    EXPECT_EQ(p[4], -0.5);
}

TEST_F(window_fixture, ten_bounds_of_three_values)
{
    EXPECT_EQ(count, 10u);
}

TEST_F(window_fixture, every_corner_lies_between_each_pair_of_faces_and_both_are_touched)
{
    for (unsigned b = 0; b < count; b++) {
        double lowest = 0, highest = 0, y[3];
        for (unsigned h = 0; h < 32; h++) {
            corner_image(h, y);
            double v = v_dot(3, bounds + 3 * b, y);
            lowest = fmin(lowest, v);
            highest = fmax(highest, v);
        }
        EXPECT_TRUE(is_near(1, highest)) << "bound " << b;
        EXPECT_TRUE(is_near(-1, lowest)) << "bound " << b;
    }
}

TEST_F(window_fixture, each_face_contains_its_two_lattice_directions)
{
    // Bounds come in lexicographic order of the direction pairs; each face
    // is spanned by the images of its two directions.
    unsigned b = 0;
    for (int i = 0; i < 5; i++) {
        for (int j = i + 1; j < 5; j++, b++) {
            for (int direction : {i, j}) {
                double column[3] = {M[2 * 5 + direction], M[3 * 5 + direction],
                                    M[4 * 5 + direction]};
                EXPECT_TRUE(is_near(0, v_dot(3, bounds + 3 * b, column)))
                    << "bound " << b << " direction " << direction;
            }
        }
    }
}

TEST_F(window_fixture, known_bound_values)
{
    EXPECT_TRUE(is_near(0.33385, bounds[0], 1e-5));
    EXPECT_TRUE(is_near(1.02749, bounds[1], 1e-5));
    EXPECT_TRUE(is_near(-0.47214, bounds[2], 1e-5));
    EXPECT_TRUE(is_near(1.08036, bounds[7 * 3 + 0], 1e-5));
    EXPECT_TRUE(is_near(0, bounds[7 * 3 + 1], 1e-5));
    EXPECT_TRUE(is_near(-0.47214, bounds[7 * 3 + 2], 1e-5));
    for (unsigned b = 0; b < count; b++) {
        double last = fabs(bounds[3 * b + 2]);
        EXPECT_TRUE(is_near(0.47214, last, 1e-5) || is_near(0.89443, last, 1e-5)) << b;
    }
}

TEST_F(window_fixture, inside_is_symmetric_and_origin_image_is_inside)
{
    srand48(7);
    for (int trial = 0; trial < 10000; trial++) {
        double y[3], minus[3];
        for (int i = 0; i < 3; i++) {
            y[i] = (drand48() * 2 - 1) * 1.2;
            minus[i] = -y[i];
        }
        EXPECT_EQ(test_bounds(3, y, count, bounds), test_bounds(3, minus, count, bounds));
    }
    double offset[5] = {0.0, 0.3, -0.45, -0.1, 0.0};
    rotate_point(5, offset, offset, M);
    EXPECT_EQ(test_bounds(3, offset + 2, count, bounds), 1);
}

TEST_F(window_fixture, window_is_a_rhombic_icosahedron)
{
    // 22 of the 32 corner images are its vertices, on the surface and so
    // outside; the other 10 lie within. Every corner pulled slightly towards
    // the centre is inside.
    double y[3];
    int on_surface = 0;
    for (unsigned h = 0; h < 32; h++) {
        corner_image(h, y);
        on_surface += !test_bounds(3, y, count, bounds);
        v_s_mul(3, y, 0.99);
        EXPECT_EQ(test_bounds(3, y, count, bounds), 1) << h;
    }
    EXPECT_EQ(on_surface, 22);
}

TEST(test_bounds, tolerance_is_just_below_one)
{
    const double bound[3] = {1, 0, 0};
    const double outside[3] = {0.99999, 0, 0}, inside[3] = {0.99998, 0, 0};
    const double far_side[3] = {-0.99999, 0, 0};
    EXPECT_EQ(test_bounds(3, outside, 1, bound), 0);
    EXPECT_EQ(test_bounds(3, far_side, 1, bound), 0);
    EXPECT_EQ(test_bounds(3, inside, 1, bound), 1);
}

TEST(compute_bounds, projection_without_a_proper_face_aborts)
{
    // The identity sends lattice direction 0 to the physical axis: its face
    // pair collapses through the origin and no plane is acceptable.
    const double identity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    unsigned count;
    EXPECT_DEATH(compute_bounds(&count, 3, identity, 1), "");
}
