#include "visited_set.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

// Every slot in use, scanned: the points the table really holds.
static unsigned slots_in_use(const visited_set *set)
{
    unsigned n = 0;
    for (unsigned slot = 0; slot < set->capacity; slot++)
        n += visited_slot(set, slot) != nullptr;
    return n;
}

// The k-th point of a 20 x 20 x 20 x ... block around the origin.
static std::vector<int> grid_point(unsigned k)
{
    std::vector<int> p(5);
    for (int &c : p) {
        c = int(k % 20) - 10;
        k /= 20;
    }
    return p;
}

TEST(visited_set, points_differing_in_one_coordinate_are_distinct)
{
    visited_set set = empty_visited_set(5);
    std::vector<std::vector<int>> points = {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, {0, 0, 0, 0, 1},
                                            {0, 1, 0, 0, 0}, {0, -1, 0, 0, 0}, {1, 2, 3, 4, 5},
                                            {5, 4, 3, 2, 1}, {INT_MIN, 0, 0, 0, INT_MAX},
                                            {INT_MAX, 0, 0, 0, INT_MIN}};
    for (const std::vector<int> &p : points)
        EXPECT_EQ(visit_point(&set, p.data()), 0);
    for (const std::vector<int> &p : points)
        EXPECT_EQ(visit_point(&set, p.data()), 1);
    EXPECT_EQ(set.count, points.size());
    EXPECT_EQ(slots_in_use(&set), points.size());
    // The table keeps its own copy: changing the caller's array changes nothing.
    std::vector<int> p = {7, 7, 7, 7, 7};
    visit_point(&set, p.data());
    p[0] = 8;
    EXPECT_EQ(visit_point(&set, p.data()), 0);
    free_visited_set(&set);
}

TEST(visited_set, grows_past_its_first_size_keeping_every_point)
{
    // Each run grows the table twice, at its 4097th and 8193rd point, and
    // ends exactly half full; sixteen runs through shifted blocks of points
    // make 32 different points that trigger a growth.
    const unsigned first = VISITED_FIRST_CAPACITY, total = 2 * first;
    for (unsigned shift = 0; shift < 16; shift++) {
        visited_set set = empty_visited_set(5);
        for (unsigned k = 0; k < total; k++) {
            ASSERT_EQ(visit_point(&set, grid_point(shift + k).data()), 0) << k;
            // Found at once, in the new table when it has just grown.
            ASSERT_EQ(visit_point(&set, grid_point(shift + k).data()), 1) << k;
            // Doubled exactly when this point would make it more than half full.
            ASSERT_EQ(set.capacity, k < first / 2 ? first : k < first ? 2 * first : 4 * first) << k;
        }
        EXPECT_EQ(slots_in_use(&set), total);
        for (unsigned k = 0; k < total; k++)
            ASSERT_EQ(visit_point(&set, grid_point(shift + k).data()), 1) << k;
        EXPECT_EQ(set.count, total);
        free_visited_set(&set);
    }
}

TEST(visited_set, clearing_forgets_the_points_and_keeps_the_table)
{
    visited_set set = empty_visited_set(5);
    for (unsigned k = 0; k < 100; k++)
        visit_point(&set, grid_point(k).data());
    const unsigned *tags = set.tags;
    const int *points = set.points;
    unsigned capacity = set.capacity;
    clear_visited_set(&set);
    EXPECT_EQ(set.count, 0u);
    EXPECT_EQ(slots_in_use(&set), 0u);
    EXPECT_EQ(set.tags, tags);
    EXPECT_EQ(set.points, points);
    EXPECT_EQ(set.capacity, capacity);
    // Only the second half comes back: the first must not linger.
    for (unsigned k = 50; k < 100; k++)
        EXPECT_EQ(visit_point(&set, grid_point(k).data()), 0);
    for (unsigned k = 0; k < 50; k++)
        EXPECT_EQ(visit_point(&set, grid_point(k).data()), 0);
    free_visited_set(&set);
}

TEST(visited_set, generation_coming_round_forgets_every_earlier_frame)
{
    visited_set set = empty_visited_set(5);
    std::vector<int> early = {1, 1, 1, 1, 1}, late = {2, 2, 2, 2, 2};
    // A point tagged in the first generation, then the last one before the
    // counter wraps: after it the numbering starts again and must not find
    // the first frame's point either.
    visit_point(&set, early.data());
    set.generation = UINT_MAX;
    set.count = 0;
    visit_point(&set, late.data());
    clear_visited_set(&set);
    EXPECT_NE(set.generation, 0u);
    EXPECT_EQ(slots_in_use(&set), 0u);
    EXPECT_EQ(visit_point(&set, early.data()), 0);
    EXPECT_EQ(visit_point(&set, late.data()), 0);
    free_visited_set(&set);
}

TEST(visited_set, freed_set_is_empty_and_usable_again)
{
    visited_set set = empty_visited_set(3);
    int p[3] = {4, -4, 0};
    visit_point(&set, p);
    free_visited_set(&set);
    EXPECT_EQ(set.capacity, 0u);
    EXPECT_EQ(set.tags, nullptr);
    EXPECT_EQ(set.dim, 3u);
    EXPECT_EQ(visit_point(&set, p), 0);
    EXPECT_EQ(visit_point(&set, p), 1);
    free_visited_set(&set);
    // Clearing a set that holds no memory is harmless.
    clear_visited_set(&set);
    EXPECT_EQ(set.count, 0u);
}
