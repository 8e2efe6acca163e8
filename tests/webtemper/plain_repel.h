// The repulsion stated as plainly as it can be: every ordered pair of
// vertices visited through the list, hypotf per visit. repel_vertices must
// give the same bits; the benchmark times it as the baseline.
#pragma once

// Sets dx and dy of every vertex, like repel_vertices.
void plain_repel(float k, float k2);
