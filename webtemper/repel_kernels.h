// The pair kernels behind repel_vertices, for the tests and the benchmark,
// which run each kernel the CPU has. The program itself never chooses: it
// takes the widest on its first step.
#pragma once

enum {
    REPEL_SCALAR, // portable C++, one vertex a block
    REPEL_SSE2,   // 4 vertices a block
    REPEL_AVX2,   // 8
    // Divide through one division in double per pair, not three in float.
    REPEL_AVX2_RECIPROCAL,
    REPEL_AVX512_RECIPROCAL,
    // Estimates half the distances with the multipliers.
    REPEL_AVX512, // 16
    REPEL_NEON,   // 4, on aarch64
    REPEL_KERNEL_COUNT,
};

const char *repel_kernel_name(int kernel);
// Whether this build and CPU run the kernel.
bool repel_kernel_supported(int kernel);
// The widest supported kernel: what repel_vertices uses unless told.
int best_repel_kernel();
// Makes repel_vertices use a supported kernel from now on.
void use_repel_kernel(int kernel);
