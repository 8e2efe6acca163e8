// Cost of one annealing step on graphs of the sizes a user builds by hand
// and beyond: the plain list visit of the tests beside the fast step, on
// each pair kernel this CPU runs.
#include "anneal.h"
#include "anneal_fast.h"
#include "fade.h"
#include "graph.h"
#include "plain_anneal.h"

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdlib>

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

void bm_plain_anneal_step(benchmark::State &state)
{
    build_graph(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        // Keep the layout from freezing, outside the timed region.
        state.PauseTiming();
        temperature = 0.006f;
        state.ResumeTiming();
        plain_anneal_step();
    }
    state.counters["edges"] = edge_count;
}

// Second argument: the pair kernel, REPEL_BEST for what the program uses;
// third: 2 to let large graphs use a second thread, as the program does, 1
// to keep to one.
void bm_anneal_step(benchmark::State &state)
{
    int kernel = static_cast<int>(state.range(1));
    if (!repel_kernel_supported(kernel)) {
        state.SkipWithError("kernel not supported on this CPU");
        return;
    }
    select_repel_kernel(kernel);
    set_repel_split_min(state.range(2) == 2 ? REPEL_SPLIT_MIN : INT_MAX);
    build_graph(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        state.PauseTiming();
        temperature = 0.006f;
        state.ResumeTiming();
        anneal_step();
    }
    state.counters["edges"] = edge_count;
    select_repel_kernel(REPEL_BEST);
    set_repel_split_min(REPEL_SPLIT_MIN);
}

} // namespace

BENCHMARK(bm_plain_anneal_step)
    ->Arg(250)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(bm_anneal_step)
    ->ArgsProduct({{250, 1000, 2000, 4000},
                   {REPEL_BEST, REPEL_SCALAR, REPEL_SSE2, REPEL_AVX2, REPEL_AVX512},
                   {1, 2}})
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
