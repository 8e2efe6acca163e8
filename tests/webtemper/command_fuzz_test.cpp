// Random key presses and idle frames, as a user mashing keys would make
// them, with every invariant of the graph checked after each one. The
// length comes from WEBTEMPER_FUZZ_OPERATIONS (default 100,000) so that a
// long run is one environment variable away.
#include "commands.h"

#include "anneal.h"
#include "gl_recorder.h"
#include "graph.h"
#include "graph_check.h"

#include <cmath>
#include <cstdlib>

static long fuzz_operations()
{
    const char *text = getenv("WEBTEMPER_FUZZ_OPERATIONS");
    return text != nullptr ? atol(text) : 100000;
}

// A key of the table, or now and then one outside it, with random shifts.
static void random_key(loop_state *state)
{
    static const int keys[] = {KEY_A, KEY_A, KEY_A, KEY_D, KEY_R, KEY_P,
                               KEY_X, KEY_X, KEY_SPACE, 'z', '5'};
    int key = keys[lrand48() % (sizeof keys / sizeof keys[0])];
    int modifiers = static_cast<int>(lrand48() % 4) | (lrand48() % 8 == 0 ? 0x2000 : 0);
    // Keep the graph from growing without bound: past 120 vertices, delete.
    if (vertex_count > 120 && key == KEY_A)
        key = KEY_D;
    EXPECT_EQ(handle_key(state, key, modifiers), 0);
}

// The time to the next frame: mostly a few ms, sometimes a long pause.
static uint32_t random_frame_gap()
{
    long pick = lrand48() % 1000;
    if (pick == 0)
        return 5000;
    return static_cast<uint32_t>(lrand48() % 40);
}

TEST(command_fuzz, random_keys_and_frames_keep_the_graph_sound)
{
    reset_graph();
    srand48(20261207);
    // Near the wrap of the millisecond clock, so it wraps during the run.
    uint32_t now = 0xffff0000u;
    loop_state state = start_loop(now);
    long operations = fuzz_operations();
    for (long op = 0; op < operations; op++) {
        if (lrand48() % 3 == 0) {
            random_key(&state);
        } else {
            now += random_frame_gap();
            gl_reset();
            idle_frame(&state, now);
            ASSERT_TRUE(gl_all_finite()) << "operation " << op;
        }
        ASSERT_TRUE(graph_is_consistent()) << "operation " << op;
        ASSERT_TRUE(std::isfinite(temperature) && temperature > 0) << "operation " << op;
    }
    RecordProperty("final_vertices", vertex_count);
    reset_graph();
}
