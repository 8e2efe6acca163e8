// Dense double vectors and square row-major matrices: the arithmetic the
// tiling is written in, the Gauss-Jordan solver used to find window faces,
// and the one allocation path of the program (xmalloc).
// Lengths are never stored: every routine takes the count first.
#pragma once

#include <cstddef>

// Never returns null: on failure calls out_of_memory.
void *xmalloc(size_t size);
// Writes "deriraredeve: out of memory" on standard error and exits with 111.
[[noreturn]] void out_of_memory();

void v_copy(unsigned n, double *dst, const double *src);
double *v_dup(unsigned n, const double *src);
void v_add(unsigned n, double *a, const double *b);
double v_dot(unsigned n, const double *a, const double *b);
double v_mag(unsigned n, const double *a);
void v_s_mul(unsigned n, double *a, double s);

// dst = M * src for an n x n row-major M; dst may equal src (but must not
// otherwise overlap it).
void rotate_point(unsigned n, double *dst, const double *src, const double *M);

// Solves A x = b in place (A is m x m, row-major); x is left in b and A is
// destroyed. A singular A yields non-finite values; the caller judges them.
void solve_linear(unsigned m, double *A, double *b);
