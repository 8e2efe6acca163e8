#include "repel_timing.h"

#include "repel_kernels.h"

#include <chrono>

// Big enough that the pairs dominate, as in the graphs people build; the
// slowest kernel takes a few tenths of a millisecond on it.
constexpr int TRIAL_VERTICES = 256;
// The fastest of these counts, so that a moment of other load is forgotten.
constexpr int TRIAL_ROUNDS = 4;

int fastest_repel_kernel()
{
    using clock = std::chrono::steady_clock;
    int fastest = best_repel_kernel();
    clock::duration fastest_time = clock::duration::max();
    for (int round = 0; round < TRIAL_ROUNDS; round++) {
        for (int kernel = 0; kernel < REPEL_KERNEL_COUNT; kernel++) {
            if (!repel_kernel_supported(kernel))
                continue;
            clock::time_point start = clock::now();
            run_repel_trial(kernel, TRIAL_VERTICES);
            clock::duration time = clock::now() - start;
            if (time < fastest_time) {
                fastest = kernel;
                fastest_time = time;
            }
        }
    }
    return fastest;
}
