// The key summary webtemper prints on standard output at start, exactly;
// the end-to-end tests compare the program's output with it.
#pragma once

static const char WEBTEMPER_SUMMARY[] =
    "Webtemper simulator\n"
    "-------------------------\n"
    "  q - quit, a - add vertex, d - pop vertex, D - delete random vertex\n"
    "  r - perturb positions, R - randomize positions, p = heat, P = cool\n"
    "  x - add random edge, X - delete random edge\n"
    "  <space> - pause/unpause annealing\n";
