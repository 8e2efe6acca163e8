// Picks the pair kernel once per process: the widest the CPU runs, unless a
// test or benchmark asks for another. Holds the portable kernel too.
#include "repel_block.h"
#include "repel_kernels.h"

#include <cmath>
#include <vector>

namespace {

// One vertex a block: the tiles are single pairs and need no transpose,
// and the one lane stands for both halves.
struct scalar_lanes {
    static constexpr int width = 1;
    using floats = float;
    using half = double;
    using mask = bool;

    static floats load(const float *p) { return *p; }
    static void store(float *p, floats v) { *p = v; }
    static floats splat(float f) { return f; }
    static floats add(floats a, floats b) { return a + b; }
    static floats sub(floats a, floats b) { return a - b; }
    static floats mul(floats a, floats b) { return a * b; }
    static floats div(floats a, floats b) { return a / b; }

    static half widen_low(floats a) { return a; }
    static half widen_high(floats a) { return a; }
    static half add(half a, half b) { return a + b; }
    static half mul(half a, half b) { return a * b; }
    static floats root(half low, half) { return static_cast<float>(std::sqrt(low)); }

    static mask is_zero(floats a) { return a == 0; }
    static floats select(mask m, floats yes, floats no) { return m ? yes : no; }
    static void transpose(floats *) {}
};

int kernel_in_use = -1; // the best one, once the first step has asked

} // namespace

const char *repel_kernel_name(int kernel)
{
    static const char *const names[REPEL_KERNEL_COUNT] = {
        "scalar", "sse2", "avx2", "avx512_reciprocal", "avx512", "neon"};
    return names[kernel];
}

bool repel_kernel_supported(int kernel)
{
    switch (kernel) {
    case REPEL_SCALAR:
        return true;
#if defined(__x86_64__)
    case REPEL_SSE2:
        return true;
    case REPEL_AVX2:
        return __builtin_cpu_supports("avx2");
    case REPEL_AVX512:
    case REPEL_AVX512_RECIPROCAL:
        return __builtin_cpu_supports("avx512f");
#elif defined(__aarch64__)
    case REPEL_NEON:
        return true;
#endif
    default:
        return false;
    }
}

int best_repel_kernel()
{
    int kernel = REPEL_KERNEL_COUNT - 1;
    while (!repel_kernel_supported(kernel))
        kernel--;
    return kernel;
}

void use_repel_kernel(int kernel)
{
    kernel_in_use = kernel;
}

static void run_kernel(int kernel, const repel_arrays &a)
{
    switch (kernel) {
#if defined(__x86_64__)
    case REPEL_SSE2:
        return repel_pairs_sse2(a);
    case REPEL_AVX2:
        return repel_pairs_avx2(a);
    case REPEL_AVX512:
        return repel_pairs_avx512(a);
    case REPEL_AVX512_RECIPROCAL:
        return repel_pairs_avx512_reciprocal(a);
#elif defined(__aarch64__)
    case REPEL_NEON:
        return repel_pairs_neon(a);
#endif
    default:
        return repel_pairs<scalar_lanes>(a);
    }
}

void run_repel_kernel(const repel_arrays &a)
{
    if (kernel_in_use < 0)
        kernel_in_use = best_repel_kernel();
    run_kernel(kernel_in_use, a);
}

void run_repel_trial(int kernel, int n)
{
    int padded = repel_padded_count(n);
    std::vector<float> work(4 * padded);
    float *x = work.data();
    float *y = x + padded;
    // Spread over the 4:3 layout rectangle without drand48, whose sequence
    // belongs to the graph.
    for (int i = 0; i < n; i++) {
        float t = i * 0.618034f;
        x[i] = (t - std::floor(t)) * 2.5f - 1.25f;
        y[i] = 2.0f * i / n - 1;
    }
    float k = sqrtf(16 / 3.0f / n);
    run_kernel(kernel, {x, y, y + padded, y + 2 * padded, n, k, k * k});
}
