// Force-directed layout under a cooling temperature: one step pushes every
// vertex away from every other, pulls the ends of every edge together and
// moves each vertex by at most the temperature, inside bbox. The main loop
// calls anneal_step on its 20 ms pace and heat or cool once per frame.
#pragma once

// Longest move a vertex makes in one step, in layout units.
extern float temperature;

void anneal_heat();
void anneal_cool();
// Does nothing, cooling included, when frozen or when there is no vertex.
void anneal_step();
