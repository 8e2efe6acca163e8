// The set of lattice points the walk has visited in the current frame: an
// open-addressing hash table of integer points, kept for the whole run and
// emptied every frame by moving on to a new generation, so that after the
// first frame the walk allocates nothing. The lattice walk is its only user.
#pragma once

// The table's first size, in slots: room for 4096 points at half load, more
// than the 3761 that a frame of the five-fold tiling visits.
constexpr unsigned VISITED_FIRST_CAPACITY = 8192;  // slots

// A slot is in use when its tag equals the current generation; tags from
// earlier frames (and the 0 of a fresh table) mark free slots.
struct visited_set {
    unsigned dim;         // ints per point
    unsigned capacity;    // slots: 0 before the first point, then a power of two
    unsigned count;       // points in the set; never more than capacity / 2
    unsigned generation;  // tag of the slots in use; never 0
    unsigned *tags;       // capacity tags
    int *points;          // capacity x dim ints, slot by slot
};

// An empty set of dim-int points that holds no memory yet.
visited_set empty_visited_set(unsigned dim);
// 1 when point is already in the set; otherwise adds a copy of it, 0.
int visit_point(visited_set *set, const int *point);
// Empties the set, keeping its memory for the next frame.
void clear_visited_set(visited_set *set);
// Returns the set's memory; the set is then empty and can be used again.
void free_visited_set(visited_set *set);
// The point held in a slot (0 .. capacity - 1), or null when it is free.
const int *visited_slot(const visited_set *set, unsigned slot);
