#include "commands.h"

#include "anneal.h"
#include "gl_recorder.h"
#include "graph.h"
#include "graph_check.h"

#include <GL/gl.h>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

constexpr int NO_MODIFIER = 0, LEFT_SHIFT = 0x1, RIGHT_SHIFT = 0x2, CAPS_LOCK = 0x2000,
              CONTROL = 0x40;

struct commands_fixture : ::testing::Test {
    loop_state state = start_loop(1000);

    void SetUp() override
    {
        reset_graph();
        srand48(5);
        gl_reset();
    }
    void TearDown() override { reset_graph(); }

    int press(int key, int modifiers = NO_MODIFIER) { return handle_key(&state, key, modifiers); }
    // Idle frames every `step` ms until (not including) `until`.
    void frames(uint32_t from, uint32_t until, uint32_t step)
    {
        for (uint32_t now = from; now < until; now += step)
            idle_frame(&state, now);
    }
};

TEST_F(commands_fixture, a_adds_a_vertex_with_or_without_shift)
{
    EXPECT_EQ(press(KEY_A), 0);
    EXPECT_EQ(press(KEY_A, LEFT_SHIFT), 0);
    EXPECT_EQ(vertex_count, 2);
    EXPECT_TRUE(graph_is_consistent());
}

TEST_F(commands_fixture, d_pops_the_newest_and_shift_d_a_random_vertex)
{
    add_isolated_vertices(20);
    press(KEY_D);
    EXPECT_EQ(nth_vertex(0)->state, FADING_OUT);
    EXPECT_EQ(fading_vertex_count, 1);
    // Right shift counts too; a random vertex, almost surely not the head.
    for (int i = 0; i < 5; i++)
        press(KEY_D, RIGHT_SHIFT);
    EXPECT_GT(fading_vertex_count, 1);
    EXPECT_TRUE(graph_is_consistent());
}

TEST_F(commands_fixture, r_perturbs_and_shift_r_randomizes)
{
    add_isolated_vertices(30);
    const std::vector<float> before = vertex_fields(&vertex::x, &vertex::y);
    // The largest change of any vertex's x since before.
    auto largest_x_change = [&before] {
        std::vector<float> now = vertex_fields(&vertex::x, &vertex::y);
        float largest = 0;
        for (size_t k = 0; k < now.size(); k += 2)
            largest = fmaxf(largest, fabsf(now[k] - before[k]));
        return largest;
    };
    press(KEY_R);
    EXPECT_GT(largest_x_change(), 0.0f);
    EXPECT_LE(largest_x_change(), 0.15f);
    press(KEY_R, LEFT_SHIFT | RIGHT_SHIFT);
    EXPECT_GT(largest_x_change(), 0.3f);
}

TEST_F(commands_fixture, x_joins_and_shift_x_removes_an_edge)
{
    add_isolated_vertices(5);
    press(KEY_X);
    EXPECT_EQ(edge_count, 1);
    press(KEY_X, LEFT_SHIFT);
    EXPECT_EQ(first_edge->state, FADING_OUT);
    EXPECT_TRUE(graph_is_consistent());
}

TEST_F(commands_fixture, starts_running_then_p_heats_shift_p_cools_space_pauses_q_quits)
{
    // Running, neither heating nor cooling, both clocks at the start.
    const loop_state start = {1, 0, 0, 1000, 1000};
    EXPECT_EQ(memcmp(&state, &start, sizeof state), 0);
    press(KEY_P);
    EXPECT_EQ(state.heating, 1);
    press(KEY_P, RIGHT_SHIFT);
    EXPECT_EQ(state.cooling, 1);
    press(KEY_SPACE);
    EXPECT_EQ(state.running, 0);
    press(KEY_SPACE, LEFT_SHIFT);
    EXPECT_EQ(state.running, 1);
    EXPECT_EQ(press(KEY_Q), 1);
    EXPECT_EQ(press(KEY_Q, LEFT_SHIFT), 1);
}

TEST_F(commands_fixture, only_shift_counts_as_shift_and_other_keys_do_nothing)
{
    add_isolated_vertices(10);
    press(KEY_D, CAPS_LOCK | CONTROL);
    EXPECT_EQ(nth_vertex(0)->state, FADING_OUT);
    EXPECT_EQ(fading_vertex_count, 1);
    press(KEY_P, CAPS_LOCK);
    EXPECT_EQ(state.heating, 1);
    EXPECT_EQ(state.cooling, 0);
    loop_state kept = state;
    int vertices = vertex_count, edges = edge_count;
    for (int key : {int('b'), int('z'), int('1'), 27, 13, 273, 304})
        EXPECT_EQ(press(key, LEFT_SHIFT), 0);
    EXPECT_EQ(vertex_count, vertices);
    EXPECT_EQ(edge_count, edges);
    EXPECT_EQ(memcmp(&kept, &state, sizeof state), 0);
}

TEST_F(commands_fixture, one_frame_fades_heats_and_cools_steps_then_draws)
{
    // a and b on the x axis, and gone above a, fading out: it ends its fade
    // within this frame's 250 ms.
    add_isolated_vertices(3);
    vertex *gone = nth_vertex(0), *a = nth_vertex(1), *b = nth_vertex(2);
    a->x = gone->x = -0.5f, b->x = 0.5f;
    a->y = b->y = 0, gone->y = 0.3f;
    pop_vertex();
    press(KEY_P);
    press(KEY_P, LEFT_SHIFT);
    idle_frame(&state, 1250);
    // Heated and cooled, then the step: a moves by that temperature straight
    // away from b, for gone was collected first and pushes nothing.
    const float hot_and_cooled = 0.006f * 1.1f * 0.975f;
    EXPECT_EQ(a->x, -0.5f - hot_and_cooled);
    EXPECT_EQ(a->y, 0.0f);
    EXPECT_EQ(temperature, hot_and_cooled * 0.975f);
    EXPECT_EQ(state.last_frame, 1250u);
    // Then cleared and drawn: the moved vertices, without gone.
    ASSERT_EQ(gl_calls_named("glTranslatef").size(), 2u);
    EXPECT_EQ(gl_calls_named("glTranslatef")[0].args[0], a->x);
    EXPECT_EQ(gl_calls[0].name, "glClear");
    EXPECT_EQ(gl_calls[0].args[0], GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(gl_calls[1].name, "glPushMatrix");
}

TEST_F(commands_fixture, fade_uses_the_time_since_the_previous_frame)
{
    frames(1000, 2000, 10);
    // Nothing faded for a second; the new vertex gets only the last 10 ms.
    push_vertex();
    idle_frame(&state, 2000);
    EXPECT_FLOAT_EQ(first_vertex->alpha, 0.05f);
    // Across the wrap of the millisecond clock.
    state.last_frame = 0xfffffff6u;
    idle_frame(&state, 0x0000000au);
    EXPECT_FLOAT_EQ(first_vertex->alpha, 0.05f + 0.1f);
}

TEST_F(commands_fixture, annealing_steps_at_most_every_20_ms_and_pauses)
{
    add_isolated_vertices(1);
    float start = temperature;
    // Each step is timed from the previous one, not from when it was due:
    // frames every 7 ms step at 1026, 1047, 1068 and 1089.
    frames(1005, 1100, 7);
    EXPECT_EQ(temperature, start * 0.975f * 0.975f * 0.975f * 0.975f);
    EXPECT_EQ(state.last_anneal, 1089u);
    press(KEY_SPACE);
    float paused = temperature;
    frames(1100, 1300, 5);
    EXPECT_EQ(temperature, paused);
    press(KEY_SPACE);
    // last_anneal stayed through the pause (1089 is not on the 5 ms grid):
    // the first frame after resuming steps at once.
    idle_frame(&state, 1300);
    EXPECT_EQ(temperature, paused * 0.975f);
    // The interval is taken modulo 2^32.
    state.last_anneal = 0xfffffff0u;
    idle_frame(&state, 0x00000003u);  // 19 ms later
    EXPECT_EQ(state.last_anneal, 0xfffffff0u);
    idle_frame(&state, 0x00000004u);  // 20 ms later
    EXPECT_EQ(state.last_anneal, 4u);
}

TEST_F(commands_fixture, heating_and_cooling_stop_at_their_bounds)
{
    state.running = 0;
    temperature = 0.05f;
    press(KEY_P);
    int frames_heated = 0;
    for (uint32_t now = 1001; state.heating; now++, frames_heated++)
        idle_frame(&state, now);
    EXPECT_GE(temperature, 0.06f);
    EXPECT_LT(temperature, 0.06f * 1.1f);
    EXPECT_EQ(frames_heated, 3);  // two heats, then the frame that clears it
    // Already hot enough: the next frame clears the flag and changes nothing.
    float hot = temperature;
    press(KEY_P);
    idle_frame(&state, 2000);
    EXPECT_EQ(state.heating, 0);
    EXPECT_EQ(temperature, hot);

    press(KEY_P, LEFT_SHIFT);
    for (uint32_t now = 3000; state.cooling; now++)
        idle_frame(&state, now);
    EXPECT_LE(temperature, 0.005f);
    EXPECT_GT(temperature, 0.005f * 0.975f);
}

struct command_answer {
    command_request request;
    int status;
    std::string out, err;
};

static command_answer answer_to(std::vector<const char *> arguments)
{
    arguments.insert(arguments.begin(), "webtemper");
    command_line line = read_command_line(int(arguments.size()), arguments.data());
    char *out_text = nullptr, *err_text = nullptr;
    size_t out_size = 0, err_size = 0;
    FILE *out = open_memstream(&out_text, &out_size);
    FILE *err = open_memstream(&err_text, &err_size);
    int status = answer_command_line(&line, out, err);
    fclose(out);
    fclose(err);
    command_answer result = {line.request, status, out_text, err_text};
    free(out_text);
    free(err_text);
    return result;
}

TEST(command_line, help_version_window_and_refusals)
{
    command_answer plain = answer_to({});
    EXPECT_EQ(plain.request, START_FULL_SCREEN);
    command_answer window = answer_to({"--window"});
    EXPECT_EQ(window.request, START_IN_WINDOW);
    for (const command_answer &start : {plain, window})
        EXPECT_EQ(start.out + start.err, "");

    command_answer help = answer_to({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    for (const char *line : {"--window", "--help", "--version", "a add a vertex", "q quit",
                             "man webtemper"})
        EXPECT_NE(help.out.find(line), std::string::npos) << line;

    command_answer version = answer_to({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("webtemper ") + QUASI_DEMOS_VERSION + "\n");
    EXPECT_EQ(version.err, "");

    // The first argument that does not belong is named, on one line.
    const std::vector<std::pair<std::vector<const char *>, std::string>> refused = {
        {{"--foo"}, "unknown option '--foo'"},
        {{"window"}, "unexpected argument 'window'"},
        {{"--foo", "bar"}, "unknown option '--foo'"},
        {{"--window", "extra"}, "unexpected argument 'extra'"},
        {{"--version", "--window"}, "unexpected argument '--window'"},
    };
    for (const auto &[arguments, message] : refused) {
        command_answer wrong = answer_to(arguments);
        EXPECT_EQ(wrong.request, REFUSE_ARGUMENT) << message;
        EXPECT_EQ(wrong.status, 2) << message;
        EXPECT_EQ(wrong.out, "");
        EXPECT_EQ(wrong.err, "webtemper: " + message + "; try 'webtemper --help'\n");
    }
}
