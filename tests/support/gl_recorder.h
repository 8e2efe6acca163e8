// A recording stand-in for the GL and GLU calls the programs make. Test
// binaries link it instead of the GL library; each call appends its name and
// arguments to gl_calls, so tests can assert on primitives, vertices,
// colours and order without a display.
#pragma once

#include <string>
#include <vector>

struct gl_call {
    std::string name;          // e.g. "glVertex2d"
    std::vector<double> args;  // numeric arguments in order; enums as numbers
};

extern std::vector<gl_call> gl_calls;
// The name the next glGenLists returns; 0 simulates a failed allocation.
extern unsigned gl_next_list;

void gl_reset();
// The calls with this name, in order.
std::vector<gl_call> gl_calls_named(const std::string &name);
// Every recorded argument is finite.
bool gl_all_finite();
