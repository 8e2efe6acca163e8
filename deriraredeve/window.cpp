#include "window.h"

#include "vector.h"

#include <alloca.h>
#include <cmath>
#include <cstdlib>

// Slightly less than 1, so that points on the window surface count as outside.
constexpr double WINDOW_TOLERANCE = 0.99999;

unsigned choose(unsigned n, unsigned r)
{
    unsigned result = 1;
    for (unsigned f = r + 1; f <= n; f++)
        result *= f;
    // Dividing from the largest factor down keeps every division exact.
    for (unsigned f = n - r; f >= 2; f--)
        result /= f;
    return result;
}

void unit_point_of_selection(double *p, unsigned n, const unsigned char *selection, unsigned h)
{
    for (unsigned i = 0; i < n; i++)
        p[selection[i]] = (h >> i) & 1 ? 0.5 : -0.5;
}

// Projects the hypercube corner with code h and leaves its perpendicular part
// (k doubles from index n - k) in p + n - k.
static const double *project_corner(double *p, unsigned n, const double *M,
                                    const unsigned char *selection, unsigned h, unsigned k)
{
    unit_point_of_selection(p, n, selection, h);
    rotate_point(n, p, p, M);
    return p + (n - k);
}

// Finds the unit normal of the face plane through a hypercube corner and its
// neighbours along the chosen directions. The first plane that does not pass
// through the origin is taken.
static void find_face_normal(double *normal, unsigned n, const double *M, unsigned e,
                             const unsigned char *selection)
{
    unsigned k = e + 1, total = 1u << n, step = 1u << e, mask = step - 1;
    double *points = static_cast<double *>(alloca(k * k * sizeof(double)));
    double *p = static_cast<double *>(alloca(n * sizeof(double)));
    for (unsigned base = 0; base < total; base += step) {
        for (unsigned i = 0; i < k; i++) {
            unsigned h = ((1u << i) & mask) + base;
            v_copy(k, points + i * k, project_corner(p, n, M, selection, h, k));
            normal[i] = 1;
        }
        // The plane through the k points is {y : x . y = 1}.
        solve_linear(k, points, normal);
        double dist = 1 / v_mag(k, normal);
        if (dist > EPSILON_DISTANCE) {
            v_s_mul(k, normal, dist);
            return;
        }
    }
    // The start-up projection always has a proper face: this is a broken matrix.
    abort();
}

void compute_one_bound(double *dest, unsigned n, const double *M, unsigned e,
                       unsigned char *selection)
{
    unsigned k = e + 1, total = 1u << n, step = 1u << e;
    double *normal = static_cast<double *>(alloca(k * sizeof(double)));
    double *p = static_cast<double *>(alloca(n * sizeof(double)));
    find_face_normal(normal, n, M, e, selection);
    // The normal is perpendicular to the projected chosen directions, so the
    // corners with those directions at -1/2 already give every support value.
    double max = 0;
    for (unsigned base = 0; base < total; base += step) {
        double v = v_dot(k, normal, project_corner(p, n, M, selection, base, k));
        if (v > max)
            max = v;
    }
    v_copy(k, dest, normal);
    v_s_mul(k, dest, 1 / max);
}

// Appends to selection[e ..] the indices below n that selection[0 .. e-1]
// does not name, in ascending order.
static void fill_unchosen(unsigned char *selection, unsigned n, unsigned e)
{
    unsigned t = e, c = 0;
    for (unsigned index = 0; index < n; index++) {
        if (c < e && selection[c] == index)
            c++;
        else
            selection[t++] = static_cast<unsigned char>(index);
    }
}

double *compute_bounds_rec(double *pos, unsigned n, const double *M, unsigned e,
                           unsigned char *selection, unsigned depth)
{
    if (depth == e) {
        fill_unchosen(selection, n, e);
        compute_one_bound(pos, n, M, e, selection);
        return pos + e + 1;
    }
    unsigned first = depth == 0 ? 0 : selection[depth - 1] + 1u;
    for (unsigned index = first; index <= n - e + depth; index++) {
        selection[depth] = static_cast<unsigned char>(index);
        pos = compute_bounds_rec(pos, n, M, e, selection, depth + 1);
    }
    return pos;
}

double *compute_bounds(unsigned *count, unsigned n, const double *M, unsigned d)
{
    unsigned k = n - d, e = k - 1;
    unsigned bound_count = choose(n, e);
    double *bounds = static_cast<double *>(xmalloc(bound_count * k * sizeof(double)));
    unsigned char *selection = static_cast<unsigned char *>(alloca(n));
    compute_bounds_rec(bounds, n, M, e, selection, 0);
    *count = bound_count;
    return bounds;
}

int test_bounds(unsigned k, const double *y, unsigned count, const double *bounds)
{
    for (unsigned b = 0; b < count; b++) {
        if (fabs(v_dot(k, bounds + b * k, y)) >= WINDOW_TOLERANCE)
            return 0;
    }
    return 1;
}
