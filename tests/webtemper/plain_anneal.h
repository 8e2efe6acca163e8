// The annealing step as first written: every ordered pair of vertices
// visited through the linked list, one hypotf per visit. The fast step must
// reproduce it bit for bit; the tests and the benchmark run both.
#pragma once

// Same contract as anneal_step, on the same globals.
void plain_anneal_step();
