#include "anneal_fast.h"

#include "graph.h"
#include "helper_thread.h"

#include <cmath>
#include <cstdlib>
#include <unistd.h>

#if defined(__x86_64__)
#include <immintrin.h>
#define REPEL_X86 1
#define TARGET_AVX2 __attribute__((target("avx2")))
#define TARGET_AVX512 __attribute__((target("avx512f")))
#else
#define REPEL_X86 0
#endif

// Vertices in a block of the widest kernel; the arrays are padded to whole
// blocks of it so that every kernel loads full vectors.
constexpr int BLOCK_MAX = 16; // vertices

// Positions and push sums of the current step, in list order.
static float *pos_x;
static float *pos_y;
static float *sum_x;
static float *sum_y;
static int work_capacity; // floats in each array

static int repel_kernel = -1; // resolved to REPEL_BEST on first use
static int repel_split_min = REPEL_SPLIT_MIN;

// Never returns null: on failure prints one line and exits with status 111,
// like every allocation of the graph program.
static float *work_alloc(size_t floats)
{
    void *p = malloc(floats * sizeof(float));
    if (p == nullptr) {
        static const char message[] = "webtemper: out of memory\n";
        ssize_t written = write(STDERR_FILENO, message, sizeof message - 1);
        (void)written;
        exit(111);
    }
    return static_cast<float *>(p);
}

static int padded_count(int n)
{
    return (n + BLOCK_MAX - 1) / BLOCK_MAX * BLOCK_MAX;
}

// Grows the arrays to hold n vertices padded to a whole block. They only
// grow, so steps on a graph that keeps its size allocate nothing.
static void reserve_work(int n)
{
    int padded = padded_count(n);
    if (padded <= work_capacity)
        return;
    int capacity = padded > 2 * work_capacity ? padded : 2 * work_capacity;
    free(pos_x);
    pos_x = work_alloc(4 * static_cast<size_t>(capacity));
    pos_y = pos_x + capacity;
    sum_x = pos_y + capacity;
    sum_y = sum_x + capacity;
    work_capacity = capacity;
}

static int count_vertices()
{
    int n = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next)
        n++;
    return n;
}

// Coordinates of this size or 0 keep every nonzero distance between 2^-123
// and 2^102, where squares and roots are normal in double and in float, and
// the AVX-512 kernel can estimate the distance instead of taking the exact
// square root.
constexpr float ESTIMABLE_MIN = 0x1p-100f; // layout units
constexpr float ESTIMABLE_MAX = 0x1p100f;  // layout units

static bool estimable_coordinate(float c)
{
    float size = fabsf(c);
    return size == 0 || (size >= ESTIMABLE_MIN && size <= ESTIMABLE_MAX);
}

// Whether every coordinate of the current step is estimable.
static bool distances_estimable;

// Copies the positions in list order and clears every sum, padding included
// (padding positions are 0 so that its lanes compute harmless values).
static void gather_positions(int n)
{
    bool estimable = true;
    int i = 0;
    for (const vertex *v = first_vertex; v != nullptr; v = v->next, i++) {
        pos_x[i] = v->x;
        pos_y[i] = v->y;
        estimable = estimable && estimable_coordinate(v->x) && estimable_coordinate(v->y);
    }
    distances_estimable = estimable;
    int padded = padded_count(n);
    for (; i < padded; i++) {
        pos_x[i] = 0;
        pos_y[i] = 0;
    }
    for (i = 0; i < padded; i++) {
        sum_x[i] = 0;
        sum_y[i] = 0;
    }
}

static void scatter_sums()
{
    int i = 0;
    for (vertex *v = first_vertex; v != nullptr; v = v->next, i++) {
        v->dx = sum_x[i];
        v->dy = sum_y[i];
    }
}

// The push k²/d on a vertex away from another at offset (ddx, ddy) from it,
// rounded as (ddx / d) × (k² / d). Returns 0, leaving *tx and *ty alone, when
// the two coincide and the push has no direction.
static int push_away(float ddx, float ddy, float k2, float *tx, float *ty)
{
    float d = hypotf(ddx, ddy);
    if (d == 0)
        return 0;
    float f = k2 / d;
    *tx = ddx / d * f;
    *ty = ddy / d * f;
    return 1;
}

// Why visiting each unordered pair once gives the same bits. The push of j
// on i is exactly the negation of the push of i on j: IEEE subtraction and
// division round symmetrically and the distance is even. A NaN push comes
// only from 0 × inf or inf / inf, which give the one default NaN whatever
// the signs; so the later vertex subtracts the push rather than adding its
// negation, which would flip the sign of a NaN. (NaN positions or a NaN k,
// from an inverted bbox, let two different NaNs meet in one sum, and which
// one survives is then the compiler's choice, in the plain visit as much as
// here.)
//
// Each vertex must still add its pushes in list order, as float addition
// is not associative. Rows go in list order: row i adds the pushes from
// every j > i in j order, and each such j subtracts the same push from its
// own sum; so when row j starts, its sum already holds the pushes from
// every i < j in i order. The sums start at +0 and round to nearest, so
// they never hold -0 and adding or subtracting a zero leaves them as they
// are.
//
// The pairs of vertices from begin to end among themselves.
static void repel_among_scalar(int begin, int end, float k, float k2)
{
    for (int i = begin; i < end; i++) {
        for (int j = i + 1; j < end; j++) {
            // Coincident vertices: i, the earlier, goes to +x.
            float tx = k;
            float ty = 0;
            push_away(pos_x[i] - pos_x[j], pos_y[i] - pos_y[j], k2, &tx, &ty);
            sum_x[i] += tx;
            sum_y[i] += ty;
            sum_x[j] -= tx;
            sum_y[j] -= ty;
        }
    }
}

// Adds to each vertex from begin to end the pushes from the vertices from
// `from` to `to`, in order, visiting these pairs from one side only. The
// two ranges do not overlap; kx is the push along x of a coincident one.
static void repel_across_scalar(int begin, int end, int from, int to, float kx, float k2)
{
    for (int i = begin; i < end; i++) {
        for (int j = from; j < to; j++) {
            float tx = kx;
            float ty = 0;
            push_away(pos_x[i] - pos_x[j], pos_y[i] - pos_y[j], k2, &tx, &ty);
            sum_x[i] += tx;
            sum_y[i] += ty;
        }
    }
}

#if REPEL_X86

// The SIMD kernels take the rows a block of W vertices at a time, the lanes
// being the vertices i of the block. A block first adds the pushes from its
// own vertices, then those from each later block, one vertex j after the
// other; the W × W pushes of such a tile are then transposed so that the
// block of j subtracts them one i after the other. Every vertex thus sums
// in list order, as in repel_among_scalar. Lanes past the last vertex work
// on the zero padding and are never added to a real vertex.
//
// The distance is glibc's hypotf for operands that are not NaN: squares
// exact in double, one rounding of their sum, of its square root and to
// float; the tests hold it to hypotf bit for bit. A NaN offset, which only
// infinite positions produce, gives a NaN push either way. Division and
// square root are correctly rounded in every width; the targets leave FMA
// out and -ffp-contract=off keeps a * b + c from fusing anyway, so each
// lane rounds like push_away.

// Pushes on the lanes of a block away from one vertex; lanes at distance 0
// have no direction, hold junk and are only marked.
struct push4 {
    __m128 x, y;
    __m128 coincident; // all ones where the distance is 0
};

static inline __m128 select_sse2(__m128 mask, __m128 yes, __m128 no)
{
    return _mm_or_ps(_mm_and_ps(mask, yes), _mm_andnot_ps(mask, no));
}

static inline __m128d square_sum_sse2(__m128 a, __m128 b)
{
    __m128d da = _mm_cvtps_pd(a);
    __m128d db = _mm_cvtps_pd(b);
    return _mm_add_pd(_mm_mul_pd(da, da), _mm_mul_pd(db, db));
}

static inline __m128 hypot_sse2(__m128 a, __m128 b)
{
    __m128d lo = _mm_sqrt_pd(square_sum_sse2(a, b));
    __m128d hi = _mm_sqrt_pd(square_sum_sse2(_mm_movehl_ps(a, a), _mm_movehl_ps(b, b)));
    return _mm_movelh_ps(_mm_cvtpd_ps(lo), _mm_cvtpd_ps(hi));
}

static inline push4 push_sse2(__m128 xi, __m128 yi, int j, __m128 k2)
{
    __m128 ddx = _mm_sub_ps(xi, _mm_set1_ps(pos_x[j]));
    __m128 ddy = _mm_sub_ps(yi, _mm_set1_ps(pos_y[j]));
    __m128 d = hypot_sse2(ddx, ddy);
    __m128 f = _mm_div_ps(k2, d);
    return {_mm_mul_ps(_mm_div_ps(ddx, d), f), _mm_mul_ps(_mm_div_ps(ddy, d), f),
            _mm_cmpeq_ps(d, _mm_setzero_ps())};
}

// Adds to the block at i0 the pushes from its own vertices, in order.
static inline void repel_diagonal_sse2(__m128 xi, __m128 yi, int i0, int n, float k, __m128 k2,
                                       __m128 *sx, __m128 *sy)
{
    const __m128 lane = _mm_setr_ps(0, 1, 2, 3);
    for (int j = i0; j < n && j < i0 + 4; j++) {
        push4 p = push_sse2(xi, yi, j, k2);
        // Coincident with a later vertex: +k, with an earlier one: -k, and
        // nothing from the vertex itself.
        __m128 jv = _mm_set1_ps(static_cast<float>(j - i0));
        __m128 kx = select_sse2(_mm_cmplt_ps(lane, jv), _mm_set1_ps(k), _mm_set1_ps(-k));
        kx = _mm_andnot_ps(_mm_cmpeq_ps(lane, jv), kx);
        *sx = _mm_add_ps(*sx, select_sse2(p.coincident, kx, p.x));
        *sy = _mm_add_ps(*sy, _mm_andnot_ps(p.coincident, p.y));
    }
}

// The tile of the block at i0 with the later block at j0: the block at i0
// adds its pushes in j order, the block at j0 subtracts them in i order.
static inline void repel_tile_sse2(__m128 xi, __m128 yi, int j0, int n, __m128 k, __m128 k2,
                                   __m128 *sx, __m128 *sy)
{
    __m128 tx[4];
    __m128 ty[4];
    __m128 ax = *sx;
    __m128 ay = *sy;
    for (int j = 0; j < 4; j++) {
        push4 p = push_sse2(xi, yi, j0 + j, k2);
        // The block at i0 is the earlier: +k along x.
        tx[j] = select_sse2(p.coincident, k, p.x);
        ty[j] = _mm_andnot_ps(p.coincident, p.y);
        if (j0 + j < n) {
            ax = _mm_add_ps(ax, tx[j]);
            ay = _mm_add_ps(ay, ty[j]);
        }
    }
    *sx = ax;
    *sy = ay;
    _MM_TRANSPOSE4_PS(tx[0], tx[1], tx[2], tx[3]);
    _MM_TRANSPOSE4_PS(ty[0], ty[1], ty[2], ty[3]);
    __m128 cx = _mm_loadu_ps(sum_x + j0);
    __m128 cy = _mm_loadu_ps(sum_y + j0);
    for (int i = 0; i < 4; i++) {
        cx = _mm_sub_ps(cx, tx[i]);
        cy = _mm_sub_ps(cy, ty[i]);
    }
    _mm_storeu_ps(sum_x + j0, cx);
    _mm_storeu_ps(sum_y + j0, cy);
}

static void repel_row_sse2(int i0, int n, float k, float k2)
{
    const __m128 kv = _mm_set1_ps(k);
    const __m128 k2v = _mm_set1_ps(k2);
    __m128 xi = _mm_loadu_ps(pos_x + i0);
    __m128 yi = _mm_loadu_ps(pos_y + i0);
    __m128 sx = _mm_loadu_ps(sum_x + i0);
    __m128 sy = _mm_loadu_ps(sum_y + i0);
    repel_diagonal_sse2(xi, yi, i0, n, k, k2v, &sx, &sy);
    for (int j0 = i0 + 4; j0 < n; j0 += 4)
        repel_tile_sse2(xi, yi, j0, n, kv, k2v, &sx, &sy);
    _mm_storeu_ps(sum_x + i0, sx);
    _mm_storeu_ps(sum_y + i0, sy);
}

static void repel_across_sse2(int i0, int from, int to, float kx, float k2)
{
    const __m128 kv = _mm_set1_ps(kx);
    const __m128 k2v = _mm_set1_ps(k2);
    __m128 xi = _mm_loadu_ps(pos_x + i0);
    __m128 yi = _mm_loadu_ps(pos_y + i0);
    __m128 sx = _mm_loadu_ps(sum_x + i0);
    __m128 sy = _mm_loadu_ps(sum_y + i0);
    for (int j = from; j < to; j++) {
        push4 p = push_sse2(xi, yi, j, k2v);
        sx = _mm_add_ps(sx, select_sse2(p.coincident, kv, p.x));
        sy = _mm_add_ps(sy, _mm_andnot_ps(p.coincident, p.y));
    }
    _mm_storeu_ps(sum_x + i0, sx);
    _mm_storeu_ps(sum_y + i0, sy);
}

struct push8 {
    __m256 x, y;
    __m256 coincident;
};

TARGET_AVX2 static inline __m256d square_sum_avx2(__m128 a, __m128 b)
{
    __m256d da = _mm256_cvtps_pd(a);
    __m256d db = _mm256_cvtps_pd(b);
    return _mm256_add_pd(_mm256_mul_pd(da, da), _mm256_mul_pd(db, db));
}

TARGET_AVX2 static inline __m256 hypot_avx2(__m256 a, __m256 b)
{
    __m256d lo = _mm256_sqrt_pd(
        square_sum_avx2(_mm256_castps256_ps128(a), _mm256_castps256_ps128(b)));
    __m256d hi = _mm256_sqrt_pd(
        square_sum_avx2(_mm256_extractf128_ps(a, 1), _mm256_extractf128_ps(b, 1)));
    return _mm256_set_m128(_mm256_cvtpd_ps(hi), _mm256_cvtpd_ps(lo));
}

TARGET_AVX2 static inline push8 push_avx2(__m256 xi, __m256 yi, int j, __m256 k2)
{
    __m256 ddx = _mm256_sub_ps(xi, _mm256_broadcast_ss(pos_x + j));
    __m256 ddy = _mm256_sub_ps(yi, _mm256_broadcast_ss(pos_y + j));
    __m256 d = hypot_avx2(ddx, ddy);
    __m256 f = _mm256_div_ps(k2, d);
    return {_mm256_mul_ps(_mm256_div_ps(ddx, d), f), _mm256_mul_ps(_mm256_div_ps(ddy, d), f),
            _mm256_cmp_ps(d, _mm256_setzero_ps(), _CMP_EQ_OQ)};
}

// Row r of the result is column r of the input.
TARGET_AVX2 static inline void transpose_avx2(__m256 r[8])
{
    __m256 t[8];
    for (int i = 0; i < 8; i += 2) {
        t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
    }
    // Now r[4q + m] holds column 4h + m of rows 4q to 4q + 3 in half h.
    for (int q = 0; q < 8; q += 4) {
        __m256d a = _mm256_castps_pd(t[q]);
        __m256d b = _mm256_castps_pd(t[q + 1]);
        __m256d c = _mm256_castps_pd(t[q + 2]);
        __m256d d = _mm256_castps_pd(t[q + 3]);
        r[q] = _mm256_castpd_ps(_mm256_unpacklo_pd(a, c));
        r[q + 1] = _mm256_castpd_ps(_mm256_unpackhi_pd(a, c));
        r[q + 2] = _mm256_castpd_ps(_mm256_unpacklo_pd(b, d));
        r[q + 3] = _mm256_castpd_ps(_mm256_unpackhi_pd(b, d));
    }
    for (int m = 0; m < 4; m++) {
        __m256 lo = _mm256_permute2f128_ps(r[m], r[4 + m], 0x20);
        __m256 hi = _mm256_permute2f128_ps(r[m], r[4 + m], 0x31);
        r[m] = lo;
        r[4 + m] = hi;
    }
}

TARGET_AVX2 static inline void repel_diagonal_avx2(__m256 xi, __m256 yi, int i0, int n, float k,
                                                   __m256 k2, __m256 *sx, __m256 *sy)
{
    const __m256 lane = _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7);
    for (int j = i0; j < n && j < i0 + 8; j++) {
        push8 p = push_avx2(xi, yi, j, k2);
        __m256 jv = _mm256_set1_ps(static_cast<float>(j - i0));
        __m256 kx = _mm256_blendv_ps(_mm256_set1_ps(-k), _mm256_set1_ps(k),
                                     _mm256_cmp_ps(lane, jv, _CMP_LT_OQ));
        kx = _mm256_andnot_ps(_mm256_cmp_ps(lane, jv, _CMP_EQ_OQ), kx);
        *sx = _mm256_add_ps(*sx, _mm256_blendv_ps(p.x, kx, p.coincident));
        *sy = _mm256_add_ps(*sy, _mm256_andnot_ps(p.coincident, p.y));
    }
}

TARGET_AVX2 static inline void repel_tile_avx2(__m256 xi, __m256 yi, int j0, int n, __m256 k,
                                               __m256 k2, __m256 *sx, __m256 *sy)
{
    __m256 tx[8];
    __m256 ty[8];
    __m256 ax = *sx;
    __m256 ay = *sy;
    for (int j = 0; j < 8; j++) {
        push8 p = push_avx2(xi, yi, j0 + j, k2);
        tx[j] = _mm256_blendv_ps(p.x, k, p.coincident);
        ty[j] = _mm256_andnot_ps(p.coincident, p.y);
        if (j0 + j < n) {
            ax = _mm256_add_ps(ax, tx[j]);
            ay = _mm256_add_ps(ay, ty[j]);
        }
    }
    *sx = ax;
    *sy = ay;
    transpose_avx2(tx);
    transpose_avx2(ty);
    __m256 cx = _mm256_loadu_ps(sum_x + j0);
    __m256 cy = _mm256_loadu_ps(sum_y + j0);
    for (int i = 0; i < 8; i++) {
        cx = _mm256_sub_ps(cx, tx[i]);
        cy = _mm256_sub_ps(cy, ty[i]);
    }
    _mm256_storeu_ps(sum_x + j0, cx);
    _mm256_storeu_ps(sum_y + j0, cy);
}

TARGET_AVX2 static void repel_row_avx2(int i0, int n, float k, float k2)
{
    const __m256 kv = _mm256_set1_ps(k);
    const __m256 k2v = _mm256_set1_ps(k2);
    __m256 xi = _mm256_loadu_ps(pos_x + i0);
    __m256 yi = _mm256_loadu_ps(pos_y + i0);
    __m256 sx = _mm256_loadu_ps(sum_x + i0);
    __m256 sy = _mm256_loadu_ps(sum_y + i0);
    repel_diagonal_avx2(xi, yi, i0, n, k, k2v, &sx, &sy);
    for (int j0 = i0 + 8; j0 < n; j0 += 8)
        repel_tile_avx2(xi, yi, j0, n, kv, k2v, &sx, &sy);
    _mm256_storeu_ps(sum_x + i0, sx);
    _mm256_storeu_ps(sum_y + i0, sy);
}

TARGET_AVX2 static void repel_across_avx2(int i0, int from, int to, float kx, float k2)
{
    const __m256 kv = _mm256_set1_ps(kx);
    const __m256 k2v = _mm256_set1_ps(k2);
    __m256 xi = _mm256_loadu_ps(pos_x + i0);
    __m256 yi = _mm256_loadu_ps(pos_y + i0);
    __m256 sx = _mm256_loadu_ps(sum_x + i0);
    __m256 sy = _mm256_loadu_ps(sum_y + i0);
    for (int j = from; j < to; j++) {
        push8 p = push_avx2(xi, yi, j, k2v);
        sx = _mm256_add_ps(sx, _mm256_blendv_ps(p.x, kv, p.coincident));
        sy = _mm256_add_ps(sy, _mm256_andnot_ps(p.coincident, p.y));
    }
    _mm256_storeu_ps(sum_x + i0, sx);
    _mm256_storeu_ps(sum_y + i0, sy);
}

// GCC 12's AVX-512 intrinsics start from a deliberately undefined vector,
// which the uninitialized-use warnings report once they are inlined here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

struct push16 {
    __m512 x, y;
    __mmask16 coincident;
};

TARGET_AVX512 static inline __m512d square_sum_avx512(__m256 a, __m256 b)
{
    __m512d da = _mm512_cvtps_pd(a);
    __m512d db = _mm512_cvtps_pd(b);
    return _mm512_add_pd(_mm512_mul_pd(da, da), _mm512_mul_pd(db, db));
}

TARGET_AVX512 static inline __m256 upper_half_avx512(__m512 a)
{
    return _mm256_castpd_ps(_mm512_extractf64x4_pd(_mm512_castps_pd(a), 1));
}

TARGET_AVX512 static inline __m512 join_halves_avx512(__m256 lo, __m256 hi)
{
    return _mm512_castpd_ps(_mm512_insertf64x4(_mm512_castps_pd(_mm512_castps256_ps512(lo)),
                                               _mm256_castps_pd(hi), 1));
}

TARGET_AVX512 static inline __m512 hypot_avx512(__m512 a, __m512 b)
{
    __m512d lo = _mm512_sqrt_pd(
        square_sum_avx512(_mm512_castps512_ps256(a), _mm512_castps512_ps256(b)));
    __m512d hi = _mm512_sqrt_pd(square_sum_avx512(upper_half_avx512(a), upper_half_avx512(b)));
    return join_halves_avx512(_mm512_cvtpd_ps(lo), _mm512_cvtpd_ps(hi));
}

// Rounding a double to float is settled once it is known between which two
// float midpoints the double lies. In each binade a float step is 2^29
// double steps, so the midpoints are the doubles whose low 29 bits are 2^28.
constexpr long long FLOAT_STEP_BITS = (1LL << 29) - 1; // low bits of a double
constexpr long long HALF_FLOAT_STEP = 1LL << 28;       // double steps
// A root estimated this near a midpoint could round either way: its error
// is below 7 double steps.
constexpr long long MIDPOINT_MARGIN = 64; // double steps

// Square roots of eight sums of squares, each within 2^-50.5 of the exact
// root, without the square-root unit: the reciprocal square-root estimate
// (error below 2^-14) and two Newton steps, each of which squares the error
// while its four roundings add at most 2^-51. A root of which no float
// midpoint lies within the margin rounds to float as the correctly rounded
// root does; the others are marked unsure. A sum of 0 gives NaN.
TARGET_AVX512 static inline __m256 estimate_root_avx512(__m512d s, __mmask8 *unsure)
{
    const __m512d half_s = _mm512_mul_pd(s, _mm512_set1_pd(0.5));
    const __m512d three_halves = _mm512_set1_pd(1.5);
    __m512d y = _mm512_rsqrt14_pd(s);
    for (int step = 0; step < 2; step++) {
        __m512d error = _mm512_mul_pd(half_s, _mm512_mul_pd(y, y));
        y = _mm512_mul_pd(y, _mm512_sub_pd(three_halves, error));
    }
    __m512d root = _mm512_mul_pd(s, y);
    __m512i from_midpoint = _mm512_and_si512(
        _mm512_add_epi64(_mm512_castpd_si512(root),
                         _mm512_set1_epi64(MIDPOINT_MARGIN - HALF_FLOAT_STEP)),
        _mm512_set1_epi64(FLOAT_STEP_BITS));
    *unsure = _mm512_cmple_epu64_mask(from_midpoint, _mm512_set1_epi64(2 * MIDPOINT_MARGIN));
    return _mm512_cvtpd_ps(root);
}

TARGET_AVX512 static inline push16 push_avx512(__m512 xi, __m512 yi, int j, __m512 k2)
{
    __m512 ddx = _mm512_sub_ps(xi, _mm512_set1_ps(pos_x[j]));
    __m512 ddy = _mm512_sub_ps(yi, _mm512_set1_ps(pos_y[j]));
    __m512 d = hypot_avx512(ddx, ddy);
    __m512 f = _mm512_div_ps(k2, d);
    return {_mm512_mul_ps(_mm512_div_ps(ddx, d), f), _mm512_mul_ps(_mm512_div_ps(ddy, d), f),
            _mm512_cmp_ps_mask(d, _mm512_setzero_ps(), _CMP_EQ_OQ)};
}

// push_avx512 for estimable positions, with the lower eight distances
// taken exactly and the upper eight estimated, which shares the work
// between the square-root unit and the multipliers. Falls back to
// push_avx512 when an estimate is unsure, about once in ten million pairs.
TARGET_AVX512 static inline push16 push_estimated_avx512(__m512 xi, __m512 yi, int j, __m512 k2)
{
    __m512 ddx = _mm512_sub_ps(xi, _mm512_set1_ps(pos_x[j]));
    __m512 ddy = _mm512_sub_ps(yi, _mm512_set1_ps(pos_y[j]));
    __mmask8 unsure;
    __m256 d_hi = estimate_root_avx512(
        square_sum_avx512(upper_half_avx512(ddx), upper_half_avx512(ddy)), &unsure);
    if (unsure != 0)
        return push_avx512(xi, yi, j, k2);
    __m512d lo = _mm512_sqrt_pd(
        square_sum_avx512(_mm512_castps512_ps256(ddx), _mm512_castps512_ps256(ddy)));
    __m512 d = join_halves_avx512(_mm512_cvtpd_ps(lo), d_hi);
    __m512 f = _mm512_div_ps(k2, d);
    // An estimated distance of 0 is NaN: coincidence is read off the offset.
    const __m512 zero = _mm512_setzero_ps();
    __mmask16 coincident = _mm512_mask_cmp_ps_mask(_mm512_cmp_ps_mask(ddx, zero, _CMP_EQ_OQ), ddy,
                                                   zero, _CMP_EQ_OQ);
    return {_mm512_mul_ps(_mm512_div_ps(ddx, d), f), _mm512_mul_ps(_mm512_div_ps(ddy, d), f),
            coincident};
}

// The push of vertex j on the lanes, estimated or not.
template <bool estimate>
TARGET_AVX512 static inline push16 push_from_avx512(__m512 xi, __m512 yi, int j, __m512 k2)
{
    return estimate ? push_estimated_avx512(xi, yi, j, k2) : push_avx512(xi, yi, j, k2);
}

TARGET_AVX512 static inline void transpose_avx512(__m512 r[16])
{
    __m512 t[16];
    for (int i = 0; i < 16; i += 2) {
        t[i] = _mm512_unpacklo_ps(r[i], r[i + 1]);
        t[i + 1] = _mm512_unpackhi_ps(r[i], r[i + 1]);
    }
    // Now r[4q + m] holds column 4l + m of rows 4q to 4q + 3 in 128-bit
    // lane l.
    for (int q = 0; q < 16; q += 4) {
        __m512d a = _mm512_castps_pd(t[q]);
        __m512d b = _mm512_castps_pd(t[q + 1]);
        __m512d c = _mm512_castps_pd(t[q + 2]);
        __m512d d = _mm512_castps_pd(t[q + 3]);
        r[q] = _mm512_castpd_ps(_mm512_unpacklo_pd(a, c));
        r[q + 1] = _mm512_castpd_ps(_mm512_unpackhi_pd(a, c));
        r[q + 2] = _mm512_castpd_ps(_mm512_unpacklo_pd(b, d));
        r[q + 3] = _mm512_castpd_ps(_mm512_unpackhi_pd(b, d));
    }
    // Gather lane l of r[m], r[4 + m], r[8 + m], r[12 + m] into row 4l + m.
    for (int m = 0; m < 4; m++) {
        __m512 even_ab = _mm512_shuffle_f32x4(r[m], r[4 + m], 0x88);
        __m512 odd_ab = _mm512_shuffle_f32x4(r[m], r[4 + m], 0xdd);
        __m512 even_cd = _mm512_shuffle_f32x4(r[8 + m], r[12 + m], 0x88);
        __m512 odd_cd = _mm512_shuffle_f32x4(r[8 + m], r[12 + m], 0xdd);
        r[m] = _mm512_shuffle_f32x4(even_ab, even_cd, 0x88);
        r[8 + m] = _mm512_shuffle_f32x4(even_ab, even_cd, 0xdd);
        r[4 + m] = _mm512_shuffle_f32x4(odd_ab, odd_cd, 0x88);
        r[12 + m] = _mm512_shuffle_f32x4(odd_ab, odd_cd, 0xdd);
    }
}

TARGET_AVX512 static inline void repel_diagonal_avx512(__m512 xi, __m512 yi, int i0, int n,
                                                       float k, __m512 k2, __m512 *sx,
                                                       __m512 *sy)
{
    const __m512 zero = _mm512_setzero_ps();
    for (int j = i0; j < n && j < i0 + 16; j++) {
        push16 p = push_avx512(xi, yi, j, k2);
        // Lanes below bit are earlier vertices; lane bit is j itself.
        unsigned bit = 1u << (j - i0);
        __m512 kx = _mm512_mask_blend_ps(static_cast<__mmask16>(bit - 1), _mm512_set1_ps(-k),
                                         _mm512_set1_ps(k));
        kx = _mm512_mask_blend_ps(static_cast<__mmask16>(bit), kx, zero);
        *sx = _mm512_add_ps(*sx, _mm512_mask_blend_ps(p.coincident, p.x, kx));
        *sy = _mm512_add_ps(*sy, _mm512_mask_blend_ps(p.coincident, p.y, zero));
    }
}

template <bool estimate>
TARGET_AVX512 static inline void repel_tile_avx512(__m512 xi, __m512 yi, int j0, int n, __m512 k,
                                                   __m512 k2, __m512 *sx, __m512 *sy)
{
    const __m512 zero = _mm512_setzero_ps();
    __m512 tx[16];
    __m512 ty[16];
    __m512 ax = *sx;
    __m512 ay = *sy;
    for (int j = 0; j < 16; j++) {
        push16 p = push_from_avx512<estimate>(xi, yi, j0 + j, k2);
        tx[j] = _mm512_mask_blend_ps(p.coincident, p.x, k);
        ty[j] = _mm512_mask_blend_ps(p.coincident, p.y, zero);
        if (j0 + j < n) {
            ax = _mm512_add_ps(ax, tx[j]);
            ay = _mm512_add_ps(ay, ty[j]);
        }
    }
    *sx = ax;
    *sy = ay;
    transpose_avx512(tx);
    transpose_avx512(ty);
    __m512 cx = _mm512_loadu_ps(sum_x + j0);
    __m512 cy = _mm512_loadu_ps(sum_y + j0);
    for (int i = 0; i < 16; i++) {
        cx = _mm512_sub_ps(cx, tx[i]);
        cy = _mm512_sub_ps(cy, ty[i]);
    }
    _mm512_storeu_ps(sum_x + j0, cx);
    _mm512_storeu_ps(sum_y + j0, cy);
}

template <bool estimate>
TARGET_AVX512 static void repel_row_avx512(int i0, int n, float k, float k2)
{
    const __m512 kv = _mm512_set1_ps(k);
    const __m512 k2v = _mm512_set1_ps(k2);
    __m512 xi = _mm512_loadu_ps(pos_x + i0);
    __m512 yi = _mm512_loadu_ps(pos_y + i0);
    __m512 sx = _mm512_loadu_ps(sum_x + i0);
    __m512 sy = _mm512_loadu_ps(sum_y + i0);
    repel_diagonal_avx512(xi, yi, i0, n, k, k2v, &sx, &sy);
    for (int j0 = i0 + 16; j0 < n; j0 += 16)
        repel_tile_avx512<estimate>(xi, yi, j0, n, kv, k2v, &sx, &sy);
    _mm512_storeu_ps(sum_x + i0, sx);
    _mm512_storeu_ps(sum_y + i0, sy);
}

template <bool estimate>
TARGET_AVX512 static void repel_across_avx512(int i0, int from, int to, float kx, float k2)
{
    const __m512 zero = _mm512_setzero_ps();
    const __m512 kv = _mm512_set1_ps(kx);
    const __m512 k2v = _mm512_set1_ps(k2);
    __m512 xi = _mm512_loadu_ps(pos_x + i0);
    __m512 yi = _mm512_loadu_ps(pos_y + i0);
    __m512 sx = _mm512_loadu_ps(sum_x + i0);
    __m512 sy = _mm512_loadu_ps(sum_y + i0);
    for (int j = from; j < to; j++) {
        push16 p = push_from_avx512<estimate>(xi, yi, j, k2v);
        sx = _mm512_add_ps(sx, _mm512_mask_blend_ps(p.coincident, p.x, kv));
        sy = _mm512_add_ps(sy, _mm512_mask_blend_ps(p.coincident, p.y, zero));
    }
    _mm512_storeu_ps(sum_x + i0, sx);
    _mm512_storeu_ps(sum_y + i0, sy);
}

#pragma GCC diagnostic pop

#endif // REPEL_X86

int repel_kernel_supported(int kernel)
{
    switch (kernel) {
    case REPEL_SCALAR:
    case REPEL_BEST:
        return 1;
#if REPEL_X86
    case REPEL_SSE2:
        return 1;
    case REPEL_AVX2:
        return __builtin_cpu_supports("avx2");
    case REPEL_AVX512:
        return __builtin_cpu_supports("avx512f");
#endif
    default:
        return 0;
    }
}

int select_repel_kernel(int kernel)
{
    if (kernel == REPEL_BEST) {
        kernel = REPEL_AVX512;
        while (!repel_kernel_supported(kernel))
            kernel--;
    }
    if (repel_kernel_supported(kernel))
        repel_kernel = kernel;
    return repel_kernel;
}

// Each pair of the vertices from begin to end visited once; begin is a
// multiple of BLOCK_MAX.
static void repel_among(int begin, int end, float k, float k2)
{
    switch (repel_kernel) {
#if REPEL_X86
    case REPEL_SSE2:
        for (int i0 = begin; i0 < end; i0 += 4)
            repel_row_sse2(i0, end, k, k2);
        return;
    case REPEL_AVX2:
        for (int i0 = begin; i0 < end; i0 += 8)
            repel_row_avx2(i0, end, k, k2);
        return;
    case REPEL_AVX512:
        for (int i0 = begin; i0 < end; i0 += 16) {
            if (distances_estimable)
                repel_row_avx512<true>(i0, end, k, k2);
            else
                repel_row_avx512<false>(i0, end, k, k2);
        }
        return;
#endif
    default:
        repel_among_scalar(begin, end, k, k2);
        return;
    }
}

// Adds to each vertex from begin to end the pushes from every vertex from
// `from` to `to`, in order; the ranges do not overlap, and begin is a
// multiple of BLOCK_MAX.
static void repel_across(int begin, int end, int from, int to, float k, float k2)
{
    // A coincident vertex pushes the earlier one of the two to +x.
    float kx = from >= end ? k : -k;
    switch (repel_kernel) {
#if REPEL_X86
    case REPEL_SSE2:
        for (int i0 = begin; i0 < end; i0 += 4)
            repel_across_sse2(i0, from, to, kx, k2);
        return;
    case REPEL_AVX2:
        for (int i0 = begin; i0 < end; i0 += 8)
            repel_across_avx2(i0, from, to, kx, k2);
        return;
    case REPEL_AVX512:
        for (int i0 = begin; i0 < end; i0 += 16) {
            if (distances_estimable)
                repel_across_avx512<true>(i0, from, to, kx, k2);
            else
                repel_across_avx512<false>(i0, from, to, kx, k2);
        }
        return;
#endif
    default:
        repel_across_scalar(begin, end, from, to, kx, k2);
        return;
    }
}

// With two threads, the list splits at `half` and each thread sums the
// pushes on its own part, in list order: the earlier part first among
// itself, then from the later part; the later part first from the earlier
// part, then among itself. The pairs across the split are so visited twice,
// once from each side, but no sum is shared.
struct repel_split {
    int n, half;
    float k, k2;
};

static void repel_earlier_part(void *job)
{
    const repel_split *s = static_cast<const repel_split *>(job);
    repel_among(0, s->half, s->k, s->k2);
    repel_across(0, s->half, s->half, s->n, s->k, s->k2);
}

static void repel_later_part(void *job)
{
    const repel_split *s = static_cast<const repel_split *>(job);
    repel_across(s->half, s->n, 0, s->half, s->k, s->k2);
    repel_among(s->half, s->n, s->k, s->k2);
}

void repel_vertices(float k, float k2)
{
    if (repel_kernel < 0)
        select_repel_kernel(REPEL_BEST);
    int n = count_vertices();
    reserve_work(n);
    gather_positions(n);
    if (n < repel_split_min) {
        repel_among(0, n, k, k2);
    } else {
        repel_split split = {n, n / 2 / BLOCK_MAX * BLOCK_MAX, k, k2};
        run_beside(repel_earlier_part, repel_later_part, &split);
    }
    scatter_sums();
}

void set_repel_split_min(int n)
{
    repel_split_min = n;
}
