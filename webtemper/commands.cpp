#include "commands.h"

#include "anneal.h"
#include "fade.h"
#include "graph.h"
#include "render.h"

#include <GL/gl.h>

constexpr uint32_t ANNEAL_INTERVAL = 20;  // ms between annealing steps
constexpr float HOT_ENOUGH = 0.06f;       // heating stops at this temperature
constexpr float COOL_ENOUGH = 0.005f;     // cooling stops at this temperature
constexpr float MS_PER_SECOND = 1000;

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
