#include "commands.h"

#include "anneal.h"
#include "fade.h"
#include "graph.h"
#include "render.h"

#include <GL/gl.h>
#include <cstring>

constexpr uint32_t ANNEAL_INTERVAL = 20;  // ms between annealing steps
constexpr float HOT_ENOUGH = 0.06f;       // heating stops at this temperature
constexpr float COOL_ENOUGH = 0.005f;     // cooling stops at this temperature
constexpr float MS_PER_SECOND = 1000;

// Exit statuses.
constexpr int ANSWERED = 0;
constexpr int USAGE_ERROR = 2;

static const char USAGE[] =
    "Usage: webtemper [--window]\n"
    "       webtemper --help | --version\n"
    "A random graph laid out by force-directed placement under simulated\n"
    "annealing, full screen.\n"
    "\n"
    "  --window   show it in a 1024x768 window instead of full screen\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Keys: a add a vertex, d remove the newest, D a random one, x add an edge,\n"
    "X remove one, r nudge, R scatter, p heat, P cool, space pause, q quit.\n"
    "\n"
    "More in the manual page: man webtemper\n";

static command_line request_of(const char *argument)
{
    if (strcmp(argument, "--window") == 0)
        return {START_IN_WINDOW, nullptr, nullptr};
    if (strcmp(argument, "--help") == 0)
        return {PRINT_HELP, nullptr, nullptr};
    if (strcmp(argument, "--version") == 0)
        return {PRINT_VERSION, nullptr, nullptr};
    if (argument[0] == '-')
        return {REFUSE_ARGUMENT, argument, "unknown option"};
    return {REFUSE_ARGUMENT, argument, "unexpected argument"};
}

// One option at most: whatever follows it is refused, known or not.
command_line read_command_line(int argc, const char *const argv[])
{
    if (argc < 2)
        return {START_FULL_SCREEN, nullptr, nullptr};
    command_line line = request_of(argv[1]);
    if (line.request != REFUSE_ARGUMENT && argc > 2)
        return {REFUSE_ARGUMENT, argv[2], "unexpected argument"};
    return line;
}

int answer_command_line(const command_line *line, FILE *out, FILE *err)
{
    switch (line->request) {
    case PRINT_HELP:
        fputs(USAGE, out);
        return ANSWERED;
    case PRINT_VERSION:
        fputs("webtemper " QUASI_DEMOS_VERSION "\n", out);
        return ANSWERED;
    case REFUSE_ARGUMENT:
        fprintf(err, "webtemper: %s '%s'; try 'webtemper --help'\n", line->reason,
                line->refused);
        return USAGE_ERROR;
    case START_FULL_SCREEN:
    case START_IN_WINDOW:
        break;
    }
    return ANSWERED;
}

loop_state start_loop(uint32_t now)
{
    return {1, 0, 0, now, now};
}

int handle_key(loop_state *state, int key, int modifiers)
{
    int shifted = (modifiers & SHIFT_MASK) != 0;
    switch (key) {
    case KEY_A:
        push_vertex();
        break;
    case KEY_D:
        if (shifted)
            delete_random_vertex();
        else
            pop_vertex();
        break;
    case KEY_R:
        if (shifted)
            randomize_positions();
        else
            perturb_positions();
        break;
    case KEY_P:
        if (shifted)
            state->cooling = 1;
        else
            state->heating = 1;
        break;
    case KEY_X:
        if (shifted)
            delete_random_edge();
        else
            add_random_edge();
        break;
    case KEY_SPACE:
        state->running = !state->running;
        break;
    case KEY_Q:
        return 1;
    default:
        break;
    }
    return 0;
}

// Heating and cooling go by frames, not by time: one factor per frame.
static void heat_or_cool(loop_state *state)
{
    if (state->heating) {
        if (temperature >= HOT_ENOUGH)
            state->heating = 0;
        else
            anneal_heat();
    }
    if (state->cooling) {
        if (temperature <= COOL_ENOUGH)
            state->cooling = 0;
        else
            anneal_cool();
    }
}

void idle_frame(loop_state *state, uint32_t now)
{
    // Tick differences are taken modulo 2^32, so the clock may wrap.
    if (fading_vertex_count != 0 || fading_edge_count != 0)
        fade_step(static_cast<float>(now - state->last_frame) / MS_PER_SECOND);
    heat_or_cool(state);
    if (state->running && now - state->last_anneal >= ANNEAL_INTERVAL) {
        anneal_step();
        state->last_anneal = now;
    }
    glClear(GL_COLOR_BUFFER_BIT);
    draw_graph();
    state->last_frame = now;
}
