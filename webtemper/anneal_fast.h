// The repulsion of the annealing step, the one part that costs n² work:
// positions gathered into arrays, pairs visited once where one thread sums
// both ends, SIMD kernels picked at run time for the CPU, and large graphs
// split between two threads. Called by anneal_step; the tests and the
// benchmark also pick the kernel and the split themselves.
#pragma once

// Kernels of the pair visit, narrowest first.
enum {
    REPEL_SCALAR = 0, // portable C++, hypotf per pair
    REPEL_SSE2 = 1,   // 4 vertices a block
    REPEL_AVX2 = 2,   // 8 vertices a block
    REPEL_AVX512 = 3, // 16 vertices a block
    REPEL_BEST = 4,   // the widest this CPU runs (the default)
};

// Sets dx and dy of every vertex to the sum of its pushes k²/d away from
// every other vertex, added in list order; coincident vertices push each
// other k along x, the earlier one in the list to +x. Every float equals
// what one visit per ordered pair through the list gives.
void repel_vertices(float k, float k2);

// From this many vertices on, repel_vertices hands half of the work to a
// second thread. Below, waking that thread between the program's steps
// costs about as much as it saves.
constexpr int REPEL_SPLIT_MIN = 512; // vertices

// Changes that number; the sums stay the same bits whatever it is.
void set_repel_split_min(int n);

// Whether this build and CPU can run the kernel.
int repel_kernel_supported(int kernel);
// Makes repel_vertices use the kernel from now on, when supported; returns
// the kernel in use.
int select_repel_kernel(int kernel);
