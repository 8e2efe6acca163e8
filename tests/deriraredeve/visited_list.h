// The visited set as a plain linked list, scanned in full for every point:
// the reference the hash table is held to, and the baseline of the walk
// benchmark. A binary with visited_list.cpp is linked with --wrap for
// visit_point and clear_visited_set, so that the program's own walk keeps
// its visited points in the list while visited_by_list is set, and in its
// hash table otherwise.
#pragma once

#include <vector>

extern bool visited_by_list;

// The points in the list, in ascending order.
std::vector<std::vector<int>> listed_points();
