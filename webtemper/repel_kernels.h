// The pair kernels behind repel_vertices, for the tests and the benchmark,
// which run each kernel the CPU has, and for the start-up timing, which
// picks the fastest (repel_timing.h). All of them give the same bits.
#pragma once

enum {
    REPEL_SCALAR,            // portable C++, one vertex a block
    REPEL_SSE2,              // 4 vertices a block
    REPEL_AVX2,              // 8
    REPEL_AVX512_RECIPROCAL, // 16, one division in double per pair, not three
    REPEL_AVX512,            // 16, half the distances estimated by multiplying
    REPEL_NEON,              // 4, on aarch64
    REPEL_KERNEL_COUNT,
};

const char *repel_kernel_name(int kernel);
// Whether this build and CPU run the kernel.
bool repel_kernel_supported(int kernel);
// The widest supported kernel: what repel_vertices uses unless told.
int best_repel_kernel();
// Makes repel_vertices use a supported kernel from now on.
void use_repel_kernel(int kernel);
// Runs a kernel once on a fixed layout of n vertices kept apart from the
// graph, for the start-up timing.
void run_repel_trial(int kernel, int n);
