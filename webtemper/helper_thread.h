// A second thread for the one loop of the graph program that is worth two
// cores, the repulsion of the annealing step: the caller runs one part of
// the work while the helper runs the other.
#pragma once

// Runs first(job) on the calling thread and second(job) on the helper
// thread, and returns when both are done. The two must not touch the same
// memory. When no helper thread can be started, runs both on the caller,
// first then second.
void run_beside(void (*first)(void *), void (*second)(void *), void *job);
