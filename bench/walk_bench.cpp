// Time of one deriraredeve frame: the lattice walk to depth 50 with every
// tile drawn into the GL recorder (cleared outside the timing).
#include "gl_recorder.h"
#include "tiling.h"
#include "walk.h"

#include <benchmark/benchmark.h>

static void frame_walk(benchmark::State &state)
{
    static qc_state qc;
    if (qc.matrix == nullptr)
        do_init(&qc);
    qc.draw_mode = static_cast<unsigned>(state.range(0));
    for (auto _ : state) {
        do_draw(&qc);
        state.PauseTiming();
        gl_reset();
        state.ResumeTiming();
    }
}
BENCHMARK(frame_walk)->DenseRange(DRAW_SOLID, DRAW_DUAL_PCOLOR)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
