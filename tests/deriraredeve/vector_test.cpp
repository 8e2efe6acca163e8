#include "vector.h"

#include "test_support.h"

#include <cmath>

TEST(vector_kernel, dot_accumulates_in_ascending_order)
{
    // Only ascending order loses the 1 to rounding before the cancellation.
    double a[3] = {1e16, 1, -1e16}, ones[3] = {1, 1, 1};
    EXPECT_EQ(v_dot(3, a, ones), 0.0);
}

TEST(vector_kernel, magnitude)
{
    double zero[4] = {0, 0, 0, 0}, three_four[2] = {3, 4};
    EXPECT_EQ(v_mag(4, zero), 0.0);
    EXPECT_EQ(v_mag(2, three_four), 5.0);
    // hypot keeps large components from overflowing.
    double big[2] = {3e300, 4e300};
    EXPECT_EQ(v_mag(2, big), 5e300);
}

TEST(vector_kernel, zero_count_is_a_no_op)
{
    double a[1] = {7}, b[1] = {9};
    v_copy(0, a, b);
    v_add(0, a, b);
    v_s_mul(0, a, 3);
    rotate_point(0, a, b, b);
    solve_linear(0, a, b);
    EXPECT_EQ(a[0], 7);
    EXPECT_EQ(b[0], 9);
    EXPECT_EQ(v_dot(0, a, b), 0.0);
    EXPECT_EQ(v_mag(0, a), 0.0);
}

TEST(vector_kernel, elementwise_operations)
{
    double a[3] = {1, 2, 3}, b[3] = {10, 20, 30};
    v_add(3, a, b);
    v_s_mul(3, a, 0.5);
    EXPECT_EQ(a[0], 5.5);
    EXPECT_EQ(a[2], 16.5);
    double *copy = v_dup(3, a);
    EXPECT_NE(copy, a);
    EXPECT_EQ(copy[1], 11);
    free(copy);
}

TEST(rotate_point, row_major_product_in_place_or_not)
{
    const double M[9] = {1, 2, 3, 4, 5, 6, 7, 8, 10};
    double src[3] = {1, -1, 2}, dst[3];
    rotate_point(3, dst, src, M);
    EXPECT_EQ(dst[0], 5);
    EXPECT_EQ(dst[1], 11);
    EXPECT_EQ(dst[2], 19);
    rotate_point(3, src, src, M);
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(src[i], dst[i]);
}

TEST(solve_linear, identity_leaves_b)
{
    double A[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1}, b[3] = {0.1, -2, 3e10};
    solve_linear(3, A, b);
    EXPECT_EQ(b[0], 0.1);
    EXPECT_EQ(b[1], -2);
    EXPECT_EQ(b[2], 3e10);
}

TEST(solve_linear, pivots_past_a_zero_diagonal)
{
    // x = (1, 2, 3); the leading zero needs a row exchange.
    double A[9] = {0, 2, 1, 1, 1, 1, 2, 0, 3}, b[3] = {7, 6, 11};
    solve_linear(3, A, b);
    EXPECT_TRUE(is_near(1, b[0]));
    EXPECT_TRUE(is_near(2, b[1]));
    EXPECT_TRUE(is_near(3, b[2]));
}

TEST(solve_linear, equal_pivots_keep_the_upper_row)
{
    // Column 0 holds 1 twice. Pivoting on the upper row rounds x0 to
    // 4.799999999999999; the lower row would give 4.8 exactly.
    double A[4] = {1, 9, 1, -1}, b[2] = {-6, 6};
    solve_linear(2, A, b);
    EXPECT_EQ(b[0], 4.799999999999999);
    EXPECT_EQ(b[1], -1.2);
}

TEST(solve_linear, singular_system_gives_non_finite_values)
{
    double A[4] = {1, 2, 2, 4}, b[2] = {1, 1};
    solve_linear(2, A, b);
    EXPECT_FALSE(std::isfinite(b[0]) && std::isfinite(b[1]));
    // A face search judges the plane by 1 / |x|: this is never accepted.
    EXPECT_FALSE(1 / v_mag(2, b) > 1e-6);
}
