// Time of one deriraredeve frame: the lattice walk to depth 50 with every
// tile drawn into the GL recorder (cleared outside the timing), in each
// drawing mode, with the visited set as the tests' reference list, scanned
// in full for every point, and as the program's hash table.
#include "gl_recorder.h"
#include "tiling.h"
#include "visited_list.h"
#include "walk.h"

#include <benchmark/benchmark.h>

enum visited_kind : int64_t { PLAIN_LIST = 0, HASHED_SET = 1 };

static void frame_walk(benchmark::State &state)
{
    static qc_state qc;
    if (qc.matrix == nullptr)
        do_init(&qc);
    qc.draw_mode = static_cast<unsigned>(state.range(1));
    visited_by_list = state.range(0) == PLAIN_LIST;
    for (auto _ : state) {
        do_draw(&qc);
        state.PauseTiming();
        gl_reset();
        state.ResumeTiming();
    }
    visited_by_list = false;
}
// The first argument varies fastest: each mode's plain frame is listed
// next to its hashed one.
BENCHMARK(frame_walk)
    ->ArgsProduct({{PLAIN_LIST, HASHED_SET},
                   benchmark::CreateDenseRange(DRAW_SOLID, DRAW_DUAL_PCOLOR, 1)})
    ->ArgNames({"hashed", "mode"})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
