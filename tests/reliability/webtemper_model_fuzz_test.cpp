// Every edit of the graph model, key presses, idle frames drawn to the GL
// recorder, annealing steps and fades, in random order and with random frame
// times, as hours of key mashing would make them, with every invariant
// checked after each operation. Phases drive the graph to hundreds of
// vertices and back to empty, and keep the layout frozen at its temperature
// floor or hot after heating; the millisecond clock wraps during the run.
// The length comes from WEBTEMPER_MODEL_FUZZ_OPERATIONS (default 40,000),
// the seed from WEBTEMPER_MODEL_FUZZ_SEED.
#include "anneal.h"
#include "commands.h"
#include "fade.h"
#include "gl_recorder.h"
#include "graph.h"
#include "graph_check.h"

#include <cmath>
#include <cstdlib>
#include <vector>

constexpr long DEFAULT_OPERATIONS = 40000;
constexpr long DEFAULT_SEED = 20240611;
constexpr float FREEZE_TEMPERATURE = 0.00001f;  // layout units; no step below it
constexpr float HOT_ENOUGH = 0.06f;             // the program heats no further
constexpr float HOTTEST = HOT_ENOUGH * 1.1f;    // one heating past HOT_ENOUGH
constexpr double FRAME_DT_MAX = 0.1;            // seconds, an ordinary frame gap
constexpr float LONG_PAUSE = 5;                 // seconds, a stalled frame
constexpr int BURST_MIN = 150, BURST_MAX = 400; // vertices a growth burst reaches
constexpr long PHASE_LENGTH = 3000;             // operations of a timed phase
constexpr uint32_t CLOCK_START = 0xffffc000u;   // ms; wraps after about 16 s

enum model_op {
    PUSH_VERTEX, POP_VERTEX, DELETE_RANDOM_VERTEX, ADD_RANDOM_EDGE, DELETE_RANDOM_EDGE,
    PERTURB_POSITION, PERTURB_POSITIONS, RANDOMIZE_POSITION, RANDOMIZE_POSITIONS,
    ANNEAL_STEP, ANNEAL_HEAT, ANNEAL_COOL, FADE_STEP, PILE_INTO_CORNER, PRESS_KEY,
    IDLE_FRAME, OP_COUNT,
};

// GROW and SHRINK run to their goal; the others run PHASE_LENGTH operations.
enum fuzz_phase { GROW, HOT, FROZEN, SHRINK, MIXED, PHASE_COUNT };

struct fuzz_run {
    int phase;
    long phase_left;   // operations left in a timed phase
    int burst_target;  // vertices GROW aims for
    int max_vertices;  // the most seen at once
    long emptied;      // SHRINK phases that reached an empty graph
    long frozen_steps; // anneal_step calls made at the floor
    uint32_t now;      // ms clock of the idle frames
    loop_state loop;
};

static long env_number(const char *name, long fallback)
{
    const char *text = getenv(name);
    return text != nullptr ? atol(text) : fallback;
}

static vertex *random_vertex()
{
    return vertex_count == 0 ? nullptr : nth_vertex(static_cast<int>(lrand48() % vertex_count));
}

// Annealing pushes vertices outwards until bbox holds them, so several may
// come to rest on the same corner: coincident vertices with no direction.
static void pile_into_corner()
{
    float x = lrand48() % 2 ? bbox.xmin : bbox.xmax;
    float y = lrand48() % 2 ? bbox.ymin : bbox.ymax;
    for (int i = 0; i < 3; i++) {
        if (vertex *v = random_vertex()) {
            v->x = x;
            v->y = y;
        }
    }
}

// Mostly a frame gap of up to 0.1 s, sometimes none, now and then a stall.
static float random_dt()
{
    long pick = lrand48() % 1000;
    if (pick == 0)
        return LONG_PAUSE;
    if (pick < 20)
        return 0;
    return static_cast<float>(drand48() * FRAME_DT_MAX);
}

// A key of the table or one outside it, with either shift or both, and
// caps lock now and then; only q asks to quit.
static void press_random_key(loop_state *loop)
{
    static const int keys[] = {KEY_A, KEY_D, KEY_R, KEY_P, KEY_X, KEY_SPACE, KEY_Q, 'z', '5'};
    int key = keys[lrand48() % (sizeof keys / sizeof keys[0])];
    int modifiers = static_cast<int>(lrand48() % 4) | (lrand48() % 8 == 0 ? 0x2000 : 0);
    EXPECT_EQ(handle_key(loop, key, modifiers), key == KEY_Q);
}

static void idle_frame_after_random_gap(fuzz_run *run)
{
    run->now += static_cast<uint32_t>(random_dt() * 1000);
    gl_reset();
    idle_frame(&run->loop, run->now);
    EXPECT_TRUE(gl_all_finite());
}

static void apply(fuzz_run *run, int op)
{
    switch (op) {
    case PUSH_VERTEX: push_vertex(); break;
    case POP_VERTEX: pop_vertex(); break;
    case DELETE_RANDOM_VERTEX: delete_random_vertex(); break;
    case ADD_RANDOM_EDGE: add_random_edge(); break;
    case DELETE_RANDOM_EDGE: delete_random_edge(); break;
    case PERTURB_POSITION:
        if (vertex *v = random_vertex())
            perturb_position(v);
        break;
    case PERTURB_POSITIONS: perturb_positions(); break;
    case RANDOMIZE_POSITION:
        if (vertex *v = random_vertex())
            randomize_position(v);
        break;
    case RANDOMIZE_POSITIONS: randomize_positions(); break;
    case ANNEAL_STEP: anneal_step(); break;
    // The program heats only up to HOT_ENOUGH; beyond it every step would
    // throw each vertex against a side.
    case ANNEAL_HEAT:
        if (temperature < HOT_ENOUGH)
            anneal_heat();
        break;
    case ANNEAL_COOL: anneal_cool(); break;
    case FADE_STEP: fade_step(random_dt()); break;
    case PILE_INTO_CORNER: pile_into_corner(); break;
    case PRESS_KEY: press_random_key(&run->loop); break;
    case IDLE_FRAME: idle_frame_after_random_gap(run); break;
    }
}

// The operation the phase favours, or one of all at random.
static int pick_op(const fuzz_run &run)
{
    int any = static_cast<int>(lrand48() % OP_COUNT);
    long bias = lrand48() % 10;
    switch (run.phase) {
    case GROW:
        return bias < 4 ? PUSH_VERTEX : any;
    case SHRINK:
        if (bias < 3)
            return lrand48() % 2 ? POP_VERTEX : DELETE_RANDOM_VERTEX;
        if (bias < 6)
            return FADE_STEP;
        return any == PUSH_VERTEX || any == PRESS_KEY ? FADE_STEP : any;
    case HOT:
        if (bias < 3)
            return ANNEAL_HEAT;
        return bias < 5 ? ANNEAL_STEP : any;
    case FROZEN:
        if (bias < 4)
            return ANNEAL_STEP;
        return any == ANNEAL_HEAT || any == PRESS_KEY ? ANNEAL_COOL : any;
    default:
        return any;
    }
}

static void start_phase(fuzz_run *run, int phase)
{
    run->phase = phase;
    run->phase_left = PHASE_LENGTH;
    run->burst_target = BURST_MIN + static_cast<int>(lrand48() % (BURST_MAX - BURST_MIN + 1));
    // The floor is reached by cooling, as the program's P key and steps do.
    if (phase == FROZEN) {
        run->loop.heating = 0;
        while (temperature >= FREEZE_TEMPERATURE)
            anneal_cool();
    }
}

static void advance_phase(fuzz_run *run)
{
    run->phase_left--;
    int done = run->phase_left <= 0;
    if (run->phase == GROW)
        done = vertex_count >= run->burst_target;
    if (run->phase == SHRINK) {
        done = vertex_count == 0;
        run->emptied += done;
    }
    if (done)
        start_phase(run, (run->phase + 1) % PHASE_COUNT);
}

static std::vector<float> positions()
{
    std::vector<float> xy;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next) {
        xy.push_back(v->x);
        xy.push_back(v->y);
    }
    return xy;
}

// After a step that ran, the summed displacements are finite: a NaN there
// would have been one move away from a position.
static ::testing::AssertionResult displacements_are_finite()
{
    int pos = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next, pos++)
        if (!std::isfinite(v->dx) || !std::isfinite(v->dy))
            return ::testing::AssertionFailure()
                   << "vertex " << pos << " displacement (" << v->dx << ", " << v->dy << ")";
    return ::testing::AssertionSuccess();
}

// One operation and every check that follows it; false stops the run.
static bool fuzz_once(fuzz_run *run, long op_number)
{
    int op = pick_op(*run);
    int frozen = temperature < FREEZE_TEMPERATURE;
    int step_runs = op == ANNEAL_STEP && !frozen && vertex_count > 0;
    float temperature_before = temperature;
    std::vector<float> before = op == ANNEAL_STEP && frozen ? positions() : std::vector<float>();
    apply(run, op);
    EXPECT_TRUE(graph_is_consistent()) << "operation " << op_number << " (" << op << ")";
    EXPECT_TRUE(temperature > 0 && temperature <= HOTTEST)
        << "operation " << op_number << ": temperature " << temperature;
    if (step_runs) {
        EXPECT_TRUE(displacements_are_finite()) << "operation " << op_number;
    }
    if (op == ANNEAL_STEP && frozen) {
        run->frozen_steps++;
        EXPECT_EQ(temperature, temperature_before) << "operation " << op_number;
        EXPECT_EQ(positions(), before) << "a frozen step moved a vertex, operation " << op_number;
    }
    if (vertex_count > run->max_vertices)
        run->max_vertices = vertex_count;
    advance_phase(run);
    return !::testing::Test::HasFailure();
}

TEST(webtemper_model_fuzz, random_edits_keys_frames_steps_and_fades_keep_the_graph_sound)
{
    reset_graph();
    gl_reset();
    srand48(env_number("WEBTEMPER_MODEL_FUZZ_SEED", DEFAULT_SEED));
    long operations = env_number("WEBTEMPER_MODEL_FUZZ_OPERATIONS", DEFAULT_OPERATIONS);
    fuzz_run run = {};
    run.now = CLOCK_START;
    run.loop = start_loop(run.now);
    start_phase(&run, GROW);
    for (long op = 0; op < operations; op++) {
        ASSERT_TRUE(fuzz_once(&run, op));
    }
    RecordProperty("max_vertices", run.max_vertices);
    RecordProperty("emptied", static_cast<int>(run.emptied));
    RecordProperty("frozen_steps", static_cast<int>(run.frozen_steps));
    // A run of the default length covers every phase and the clock's wrap.
    if (operations >= DEFAULT_OPERATIONS) {
        EXPECT_GE(run.max_vertices, BURST_MIN);
        EXPECT_GT(run.emptied, 0);
        EXPECT_GT(run.frozen_steps, 0);
        EXPECT_LT(run.now, CLOCK_START);
    }
    reset_graph();
}
