// The acceptance window: the projection of the unit hypercube into
// perpendicular space, held as pairs of parallel face planes. Start-up
// computes the bounds once from the projection matrix; the lattice walk and
// the tile drawer test every candidate point against them.
#pragma once

// A face plane closer than this to the origin is rejected as degenerate.
constexpr double EPSILON_DISTANCE = 1e-6;

// C(n, r) in unsigned arithmetic.
unsigned choose(unsigned n, unsigned r);

// For i = 0 .. n-1: p[selection[i]] = +0.5 when bit i of h is set, else -0.5.
void unit_point_of_selection(double *p, unsigned n, const unsigned char *selection,
                             unsigned h);

// Writes the bound (k = e + 1 doubles) for the face spanned by the lattice
// directions selection[0 .. e-1]. Aborts when no face plane is found.
void compute_one_bound(double *dest, unsigned n, const double *M, unsigned e,
                       unsigned char *selection);

// Writes one bound for every e-subset of the lattice directions, in
// lexicographic order, from depth on; returns the position after the last.
double *compute_bounds_rec(double *pos, unsigned n, const double *M, unsigned e,
                           unsigned char *selection, unsigned depth);

// The window of the n x n projection M with d physical coordinates: a new
// array of *count bounds of n - d doubles each. The caller owns it.
double *compute_bounds(unsigned *count, unsigned n, const double *M, unsigned d);

// 1 when |bound . y| < 0.99999 for every bound, else 0: points on the window
// surface, or within 1e-5 of it, are outside.
int test_bounds(unsigned k, const double *y, unsigned count, const double *bounds);
