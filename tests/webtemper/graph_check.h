// Test helpers for the graph program: a clean start state and a check of
// every invariant the graph model, annealing and fading keep together.
// Used by the model, annealing, fading and drawing tests.
#pragma once

#include <gtest/gtest.h>

#include <vector>

struct vertex;
struct edge;

// Frees both lists, zeroes the counters, sets bbox to the start-up rectangle
// and the temperature to its start value. Does not seed the random source.
void reset_graph();

// Success, or a failure naming the first broken invariant: counters match
// the lists, no DEAD record, alphas and colours in range, positions finite
// and inside bbox, edge ends distinct members of the vertex list, no pair
// joined twice, no edge more opaque than either end.
::testing::AssertionResult graph_is_consistent();

// The record at list position pos (0 is the head), or null past the end.
vertex *nth_vertex(int pos);
edge *nth_edge(int pos);

// Adds n vertices through push_vertex, then lets every record finish its
// fade with the new ones' edges removed: n more steady, isolated vertices.
void add_isolated_vertices(int n);
// Joins every unjoined pair, the newer vertex as end a.
void join_all();

// Two fields of every vertex, say &vertex::x and &vertex::y, in list order.
std::vector<float> vertex_fields(float vertex::*first, float vertex::*second);
