#include "vector.h"

#include <alloca.h>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

void out_of_memory()
{
    static const char message[] = "deriraredeve: out of memory\n";
    // write(2) rather than stdio: nothing may need memory on this path.
    ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
    (void)written;
    exit(111);
}

void *xmalloc(size_t size)
{
    void *p = malloc(size);
    if (p == nullptr)
        out_of_memory();
    return p;
}

void v_copy(unsigned n, double *dst, const double *src)
{
    for (unsigned i = 0; i < n; i++)
        dst[i] = src[i];
}

double *v_dup(unsigned n, const double *src)
{
    double *dst = static_cast<double *>(xmalloc(n * sizeof(double)));
    v_copy(n, dst, src);
    return dst;
}

void v_add(unsigned n, double *a, const double *b)
{
    for (unsigned i = 0; i < n; i++)
        a[i] += b[i];
}

double v_dot(unsigned n, const double *a, const double *b)
{
    double sum = 0;
    for (unsigned i = 0; i < n; i++)
        sum += a[i] * b[i];
    return sum;
}

double v_mag(unsigned n, const double *a)
{
    double r = 0;
    for (unsigned i = 0; i < n; i++)
        r = hypot(r, a[i]);
    return r;
}

void v_s_mul(unsigned n, double *a, double s)
{
    for (unsigned i = 0; i < n; i++)
        a[i] *= s;
}

void rotate_point(unsigned n, double *dst, const double *src, const double *M)
{
    // In place, the product is built in stack scratch: this runs for every
    // lattice point of every frame and must not allocate.
    double *out = dst == src ? static_cast<double *>(alloca(n * sizeof(double))) : dst;
    for (unsigned i = 0; i < n; i++) {
        double sum = 0;
        for (unsigned j = 0; j < n; j++)
            sum += src[j] * M[i * n + j];
        out[i] = sum;
    }
    if (out != dst)
        v_copy(n, dst, out);
}

// Row with the largest magnitude in column i, from row i down; ties keep the
// earlier row.
static unsigned find_biggest_row(unsigned m, const double *A, unsigned i)
{
    unsigned best = i;
    double best_magnitude = fabs(A[i * m + i]);
    for (unsigned r = i + 1; r < m; r++) {
        if (fabs(A[r * m + i]) > best_magnitude) {
            best = r;
            best_magnitude = fabs(A[r * m + i]);
        }
    }
    return best;
}

static void swap_rows(unsigned m, double *A, double *b, unsigned i, unsigned p)
{
    for (unsigned c = 0; c < m; c++) {
        double t = A[i * m + c];
        A[i * m + c] = A[p * m + c];
        A[p * m + c] = t;
    }
    double t = b[i];
    b[i] = b[p];
    b[p] = t;
}

static void divide_row(unsigned m, double *A, double *b, unsigned i)
{
    double pivot = A[i * m + i];
    for (unsigned c = 0; c < m; c++)
        A[i * m + c] /= pivot;
    b[i] /= pivot;
}

// Row j += factor * row i, in A and in b.
static void add_multiplied_row(unsigned m, double *A, double *b, unsigned j, unsigned i,
                               double factor)
{
    for (unsigned c = 0; c < m; c++)
        A[j * m + c] += factor * A[i * m + c];
    b[j] += factor * b[i];
}

void solve_linear(unsigned m, double *A, double *b)
{
    for (unsigned i = 0; i < m; i++) {
        swap_rows(m, A, b, i, find_biggest_row(m, A, i));
        divide_row(m, A, b, i);
        for (unsigned j = 0; j < m; j++) {
            if (j != i)
                add_multiplied_row(m, A, b, j, i, -A[j * m + i]);
        }
    }
}
