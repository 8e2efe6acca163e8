// Start-up timing of the pair kernels, outside the model, which never reads
// the clock: main hands the fastest to use_repel_kernel, and the benchmark
// shows which one that is.
#pragma once

// The supported kernel that ran a trial layout fastest, over a few ms.
int fastest_repel_kernel();
