// The pair kernel of the repulsion, written once over a small vector layer
// and compiled once per layer: the portable one in repel_kernels.cpp and one
// for each SIMD instruction set in repel_<set>.cpp, each with its own
// compiler flags. repel_kernels.cpp picks which one runs.
#pragma once

// One step's positions and push sums in list order. The arrays hold n
// vertices, then zeros up to a multiple of REPEL_BLOCK_MAX, so that every
// layer loads whole vectors.
struct repel_arrays {
    const float *x, *y;
    float *sum_x, *sum_y; // zero on entry
    int n;
    float k, k2; // ideal distance and its square
};

constexpr int REPEL_BLOCK_MAX = 16; // vertices in the widest layer's vector

// n rounded up to whole blocks of the widest layer: the arrays' length.
inline int repel_padded_count(int n)
{
    return (n + REPEL_BLOCK_MAX - 1) / REPEL_BLOCK_MAX * REPEL_BLOCK_MAX;
}

// Adds to sum_x and sum_y the pushes on every vertex with the kernel in
// use: the widest this CPU runs, unless use_repel_kernel chose another.
void run_repel_kernel(const repel_arrays &a);

// The kernels that run_repel_kernel picks from, besides the portable one.
void repel_pairs_sse2(const repel_arrays &a);
void repel_pairs_avx2(const repel_arrays &a);
void repel_pairs_avx512(const repel_arrays &a);
void repel_pairs_avx512_reciprocal(const repel_arrays &a);
void repel_pairs_neon(const repel_arrays &a);

// Why visiting each unordered pair once gives the bits of one visit per
// ordered pair. The push of j on i is exactly the negation of the push of i
// on j: IEEE subtraction and division round symmetrically and the distance
// is even. A NaN push comes only from 0 × inf or inf / inf, which in
// hardware floating point give the one default NaN whatever the signs; so
// the later vertex subtracts the push rather than adding its negation, which
// would flip the sign of a NaN. (armel's software floating point may pass an
// operand's NaN on instead; a vertex whose push is NaN never moves.)
//
// Each vertex must still add its pushes in list order, as float addition is
// not associative. A block of W vertices sits in the lanes of a vector;
// blocks go in list order. A block first adds the pushes from its own
// vertices one after the other, then those from each later block, one vertex
// j after the other; the W × W pushes of such a tile are then transposed so
// that the later block subtracts them one lane i after the other. So when a
// block starts, its sums already hold the pushes from every earlier vertex,
// in order. The sums start at +0 and round to nearest, so they never hold -0
// and adding or subtracting a zero leaves them as they are.
//
// The distance is (float)sqrt(dx² + dy²) with the squares and their sum in
// double: squares exact, one rounding of the sum, of its root and to float,
// which is what glibc's hypotf returns for operands that are not NaN. Every
// operation is correctly rounded in every width, and -ffp-contract=off keeps
// a * b + c from fusing, so each lane rounds as the scalar code does.
//
// A layer L supplies: width (W); floats (W floats), half (W / 2 doubles)
// and mask types; load, store and splat; add, sub, mul and div of floats;
// widen_low and widen_high, each half of the lanes as doubles; add and mul
// of halves; root, the square roots of both halves rounded to floats;
// is_zero and select; and transpose of W vectors of floats.
//
// Everything below is compiled into each kernel's own object file with that
// kernel's instruction set. The anonymous namespace keeps each copy there,
// so the linker can never hand one CPU's copy to another's caller; for the
// same reason this code calls no function with external linkage.
namespace {

template <class L> struct pushes {
    typename L::floats x, y;
};

template <class L> inline typename L::half square_sum(typename L::half x, typename L::half y)
{
    return L::add(L::mul(x, x), L::mul(y, y));
}

// hypotf of each lane's (dx, dy), half the lanes at a time in double.
template <class L> inline typename L::floats distance(typename L::floats dx, typename L::floats dy)
{
    return L::root(square_sum<L>(L::widen_low(dx), L::widen_low(dy)),
                   square_sum<L>(L::widen_high(dx), L::widen_high(dy)));
}

// The pushes on the lanes' vertices away from the vertex at (xj, yj):
// k²/d, rounded as (dx / d) × (k² / d). Lanes at distance 0 have no
// direction and get (coincident_x, 0) instead.
template <class L>
inline pushes<L> push_from(typename L::floats xi, typename L::floats yi, float xj, float yj,
                           typename L::floats k2, typename L::floats coincident_x)
{
    typename L::floats dx = L::sub(xi, L::splat(xj));
    typename L::floats dy = L::sub(yi, L::splat(yj));
    typename L::floats d = distance<L>(dx, dy);
    typename L::floats f = L::div(k2, d);
    typename L::mask coincident = L::is_zero(d);
    return {L::select(coincident, coincident_x, L::mul(L::div(dx, d), f)),
            L::select(coincident, L::splat(0), L::mul(L::div(dy, d), f))};
}

// The tile of the block in the lanes with the later block at j0.
template <class L>
inline void repel_tile(const repel_arrays &a, int j0, typename L::floats xi, typename L::floats yi,
                       typename L::floats *sx, typename L::floats *sy)
{
    constexpr int W = L::width;
    // The lanes are the earlier vertices: +k along x when coincident.
    const typename L::floats k = L::splat(a.k);
    const typename L::floats k2 = L::splat(a.k2);
    // Only the last block has padding, and only its pushes are left out.
    const int real = a.n - j0 < W ? a.n - j0 : W;
    typename L::floats px[W];
    typename L::floats py[W];
    for (int j = 0; j < W; j++) {
        pushes<L> p = push_from<L>(xi, yi, a.x[j0 + j], a.y[j0 + j], k2, k);
        px[j] = p.x;
        py[j] = p.y;
        if (j < real) {
            *sx = L::add(*sx, p.x);
            *sy = L::add(*sy, p.y);
        }
    }
    // Row i now holds the pushes of lane i on each vertex of the block at j0.
    L::transpose(px);
    L::transpose(py);
    typename L::floats cx = L::load(a.sum_x + j0);
    typename L::floats cy = L::load(a.sum_y + j0);
    for (int i = 0; i < W; i++) {
        cx = L::sub(cx, px[i]);
        cy = L::sub(cy, py[i]);
    }
    L::store(a.sum_x + j0, cx);
    L::store(a.sum_y + j0, cy);
}

// The block at i0: the pushes from its own vertices, then its tiles.
// coincident_x[W - 1 + m - j] is the push along x on lane m from a
// coincident lane j: +k for m < j, -k for m > j and 0 for m = j, the
// vertex itself.
template <class L> inline void repel_row(const repel_arrays &a, int i0, const float *coincident_x)
{
    constexpr int W = L::width;
    const typename L::floats xi = L::load(a.x + i0);
    const typename L::floats yi = L::load(a.y + i0);
    const typename L::floats k2 = L::splat(a.k2);
    typename L::floats sx = L::load(a.sum_x + i0);
    typename L::floats sy = L::load(a.sum_y + i0);
    for (int j = i0; j < a.n && j < i0 + W; j++) {
        pushes<L> p = push_from<L>(xi, yi, a.x[j], a.y[j], k2,
                                   L::load(coincident_x + W - 1 - (j - i0)));
        sx = L::add(sx, p.x);
        sy = L::add(sy, p.y);
    }
    for (int j0 = i0 + W; j0 < a.n; j0 += W)
        repel_tile<L>(a, j0, xi, yi, &sx, &sy);
    L::store(a.sum_x + i0, sx);
    L::store(a.sum_y + i0, sy);
}

// A layer L whose three divisions by d go through one division in double,
// 1 / d: which needs L::narrow, each half rounded to float, L::join of two
// halves, and L::inverse of a half. Within 2^-52 of the quotient after the
// two roundings, the product rounds to float as the division does, since a
// quotient of two floats lies at least 2^-49 (relative) from every midpoint
// between floats, unless it is subnormal: valid only for arrays that
// estimable_positions accepts.
template <class L> struct reciprocal_lanes : L {
    static typename L::floats div(typename L::floats a, typename L::floats d)
    {
        // The compiler computes the inverses once for the three calls.
        return L::join(L::narrow(L::mul(L::widen_low(a), L::inverse(L::widen_low(d)))),
                       L::narrow(L::mul(L::widen_high(a), L::inverse(L::widen_high(d)))));
    }
};

// Coordinates and k² of 0 or of a size from 2^-40 to 2^40 keep every
// nonzero distance, sum of squares and quotient of a push normal.
inline bool estimable(float c)
{
    const float low = 0x1p-40f; // layout units
    const float high = 0x1p40f; // layout units
    float size = c < 0 ? -c : c;
    return size == 0 || (size >= low && size <= high);
}

inline bool estimable_positions(const repel_arrays &a)
{
    for (int i = 0; i < a.n; i++)
        if (!estimable(a.x[i]) || !estimable(a.y[i]))
            return false;
    return estimable(a.k2);
}

template <class L> void repel_pairs(const repel_arrays &a)
{
    constexpr int W = L::width;
    float coincident_x[2 * W - 1];
    for (int m = 0; m < 2 * W - 1; m++)
        coincident_x[m] = m < W - 1 ? a.k : m == W - 1 ? 0 : -a.k;
    for (int i0 = 0; i0 < a.n; i0 += W)
        repel_row<L>(a, i0, coincident_x);
}

} // namespace
