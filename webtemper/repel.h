// The repulsion of the annealing step, the one part that costs n² work:
// positions gathered into arrays and every unordered pair visited once, in
// blocks as wide as the CPU's vectors. Called by anneal_step.
#pragma once

// Sets dx and dy of every vertex to the sum of its pushes k²/d away from
// every other vertex, added in list order; coincident vertices push each
// other k along x, the earlier one in the list to +x. Every float equals
// what one visit per ordered pair through the list gives.
void repel_vertices(float k, float k2);
