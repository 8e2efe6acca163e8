// The program's loop state, its key table and one idle frame, written
// without SDL so that tests can drive them with any key and any time.
// main() owns the loop_state, feeds it key presses and calls idle_frame
// whenever no event is pending.
#pragma once

#include <cstdint>

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

// Annealing running, no heating or cooling, both clocks at now.
loop_state start_loop(uint32_t now);
// Applies one key press; returns 1 when it asks to quit.
int handle_key(loop_state *state, int key, int modifiers);
// Fade, heat, cool, anneal on its pace, then clear and draw the graph.
void idle_frame(loop_state *state, uint32_t now);
