// The program's commands: its command line, its loop state, its key table
// and one idle frame, written without SDL so that tests can drive them with
// any arguments, any key and any time. main() reads the command line before
// SDL starts, owns the loop_state, feeds it key presses and calls
// idle_frame whenever no event is pending.
#pragma once

#include <cstdint>
#include <cstdio>

enum command_request {
    START_FULL_SCREEN,
    START_IN_WINDOW,
    PRINT_HELP,
    PRINT_VERSION,
    REFUSE_ARGUMENT,
};

struct command_line {
    command_request request;
    // For REFUSE_ARGUMENT: the first argument refused, and why.
    const char *refused;
    const char *reason;  // "unknown option" or "unexpected argument"
};

struct loop_state {
    int running;           // annealing steps are taken; space toggles it
    int heating;           // heat once per frame until the temperature reaches 0.06
    int cooling;           // cool once per frame until it falls to 0.005
    uint32_t last_anneal;  // ms tick of the last annealing step
    uint32_t last_frame;   // ms tick of the last drawn frame
};

// Key symbols (the unshifted key, as SDL reports it) and the shift bits of
// the modifier state.
constexpr int KEY_SPACE = ' ';
constexpr int KEY_A = 'a';
constexpr int KEY_D = 'd';
constexpr int KEY_P = 'p';
constexpr int KEY_Q = 'q';
constexpr int KEY_R = 'r';
constexpr int KEY_X = 'x';
constexpr int SHIFT_MASK = 0x1 | 0x2;  // left shift | right shift

// --window, --help or --version, or nothing; anything else is refused.
command_line read_command_line(int argc, const char *const argv[]);
// Prints the help or the version on out, or the refusal on err, and returns
// the exit status; for the two start requests it prints nothing. Help and
// version need no display and open no window.
int answer_command_line(const command_line *line, FILE *out, FILE *err);

// Annealing running, no heating or cooling, both clocks at now.
loop_state start_loop(uint32_t now);
// Applies one key press; returns 1 when it asks to quit.
int handle_key(loop_state *state, int key, int modifiers);
// Fade, heat, cool, anneal on its pace, then clear and draw the graph.
void idle_frame(loop_state *state, uint32_t now);
