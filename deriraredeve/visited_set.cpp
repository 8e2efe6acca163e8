#include "visited_set.h"

#include "vector.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>

// Odd 64-bit constants for mixing coordinates: the golden-ratio seed, and a
// multiplier whose products spread every input bit over the high half.
constexpr uint64_t HASH_SEED = 0x9e3779b97f4a7c15;
constexpr uint64_t HASH_MULTIPLIER = 0xbf58476d1ce4e5b9;
// Bits folded back down after each multiply.
constexpr unsigned HASH_SHIFT = 29;  // bits
// The largest table whose slot numbers still fit an unsigned.
constexpr unsigned MAX_CAPACITY = UINT_MAX / 2 + 1;  // slots

visited_set empty_visited_set(unsigned dim)
{
    return visited_set{dim, 0, 0, 1, nullptr, nullptr};
}

// Lattice coordinates are small and close together; the multiply carries
// each one into the high bits and the shift brings those back into the low
// bits that pick the slot.
static uint64_t hash_point(unsigned dim, const int *point)
{
    uint64_t h = HASH_SEED;
    for (unsigned i = 0; i < dim; i++) {
        h = (h ^ static_cast<uint32_t>(point[i])) * HASH_MULTIPLIER;
        h ^= h >> HASH_SHIFT;
    }
    return h;
}

static int *slot_point(const visited_set *set, unsigned slot)
{
    return set->points + static_cast<size_t>(slot) * set->dim;
}

static int same_point(unsigned dim, const int *a, const int *b)
{
    for (unsigned i = 0; i < dim; i++) {
        if (a[i] != b[i])
            return 0;
    }
    return 1;
}

// The slot holding point, or the free slot where it belongs. The table is
// never more than half full, so the probe always ends at a free slot.
static unsigned find_slot(const visited_set *set, const int *point)
{
    unsigned mask = set->capacity - 1;
    unsigned slot = static_cast<unsigned>(hash_point(set->dim, point)) & mask;
    while (set->tags[slot] == set->generation &&
           !same_point(set->dim, slot_point(set, slot), point))
        slot = (slot + 1) & mask;
    return slot;
}

static void store_point(visited_set *set, unsigned slot, const int *point)
{
    memcpy(slot_point(set, slot), point, set->dim * sizeof(int));
    set->tags[slot] = set->generation;
}

// Moves every point into a table twice the size (the first table when there
// is none). The generation is kept: the new tags are all 0, hence free.
static void grow_visited_set(visited_set *set)
{
    if (set->capacity == MAX_CAPACITY)
        out_of_memory();
    visited_set old = *set;
    set->capacity = old.capacity == 0 ? VISITED_FIRST_CAPACITY : 2 * old.capacity;
    set->tags = static_cast<unsigned *>(xmalloc(set->capacity * sizeof(unsigned)));
    memset(set->tags, 0, set->capacity * sizeof(unsigned));
    set->points = static_cast<int *>(
        xmalloc(static_cast<size_t>(set->capacity) * set->dim * sizeof(int)));
    for (unsigned slot = 0; slot < old.capacity; slot++) {
        const int *point = visited_slot(&old, slot);
        if (point != nullptr)
            store_point(set, find_slot(set, point), point);
    }
    free(old.tags);
    free(old.points);
}

int visit_point(visited_set *set, const int *point)
{
    if (set->capacity == 0)
        grow_visited_set(set);
    unsigned slot = find_slot(set, point);
    if (set->tags[slot] == set->generation)
        return 1;
    // At most half full, so that probes stay short.
    if (2 * (set->count + 1) > set->capacity) {
        grow_visited_set(set);
        slot = find_slot(set, point);
    }
    store_point(set, slot, point);
    set->count++;
    return 0;
}

void clear_visited_set(visited_set *set)
{
    set->count = 0;
    set->generation++;
    // The generation has come round to 0, and old tags could match the
    // numbers ahead: free every slot explicitly and start again at 1.
    if (set->generation == 0) {
        if (set->capacity != 0)
            memset(set->tags, 0, set->capacity * sizeof(unsigned));
        set->generation = 1;
    }
}

void free_visited_set(visited_set *set)
{
    free(set->tags);
    free(set->points);
    *set = empty_visited_set(set->dim);
}

const int *visited_slot(const visited_set *set, unsigned slot)
{
    return set->tags[slot] == set->generation ? slot_point(set, slot) : nullptr;
}
