// Cost of one annealing step on graphs of the sizes a user builds by hand
// and beyond, with each pair kernel this CPU runs and with the one the
// program's start-up timing picks (picked_step), beside the plain
// repulsion of the tests: one visit per ordered pair through the list,
// hypotf per visit. The plain step also attracts and moves, in time linear
// in the graph, which the baseline leaves out: the speed-ups read off it
// are a little low.
#include "anneal.h"
#include "fade.h"
#include "graph.h"
#include "plain_repel.h"
#include "repel_kernels.h"
#include "repel_timing.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

constexpr long BENCH_SEED = 20240601; // fixed graph for every run

// Frees the previous graph, then adds n vertices the way the a key does:
// about three edges per vertex.
void build_graph(int n)
{
    for (vertex *v = first_vertex; v != nullptr; v = v->next) {
        fade_vertex(v);
        delete_edges_of(v);
    }
    fade_step(1);
    bbox = {-4 / 3.0f, 4 / 3.0f, -1, 1};
    srand48(BENCH_SEED);
    for (int i = 0; i < n; i++)
        push_vertex();
}

void bm_plain_repulsion(benchmark::State &state)
{
    build_graph(static_cast<int>(state.range(0)));
    float k = sqrtf((bbox.xmax - bbox.xmin) * (bbox.ymax - bbox.ymin) / vertex_count);
    for (auto _ : state)
        plain_repel(k, k * k);
}

// Steps with the pair kernel in use, from a layout that never freezes:
// resetting the temperature costs next to nothing, so it stays in the timed
// region rather than pausing the clock, which costs microseconds.
void run_steps(benchmark::State &state)
{
    build_graph(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        temperature = 0.006f;
        anneal_step();
    }
}

// Second argument: the pair kernel.
void bm_anneal_step(benchmark::State &state)
{
    int kernel = static_cast<int>(state.range(1));
    use_repel_kernel(kernel);
    state.SetLabel(repel_kernel_name(kernel));
    run_steps(state);
    use_repel_kernel(best_repel_kernel());
}

// The kernel that the program's start-up timing picks, timed again here.
void bm_picked_step(benchmark::State &state)
{
    int kernel = fastest_repel_kernel();
    use_repel_kernel(kernel);
    state.SetLabel(std::string("picked ") + repel_kernel_name(kernel));
    run_steps(state);
    use_repel_kernel(best_repel_kernel());
}

// Every graph size with each kernel this CPU runs, and only those.
void supported_kernels(benchmark::internal::Benchmark *b)
{
    for (int n : {250, 1000, 2000, 4000}) {
        for (int kernel = 0; kernel < REPEL_KERNEL_COUNT; kernel++) {
            if (repel_kernel_supported(kernel))
                b->Args({n, kernel});
        }
    }
}

} // namespace

BENCHMARK(bm_plain_repulsion)
    ->Arg(250)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_anneal_step)->Apply(supported_kernels)->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_picked_step)
    ->Arg(250)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
