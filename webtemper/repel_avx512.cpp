// The pair kernels with AVX-512, sixteen vertices a block: one that
// estimates half the distances, one that divides through 1 / d in double.
#include "repel_block.h"

#include <immintrin.h>

namespace {

struct avx512_lanes {
    static constexpr int width = 16;
    using floats = __m512;
    using half = __m512d;
    using mask = __mmask16;

    // GCC 12 builds the plain forms of many of these intrinsics from a
    // deliberately undefined vector, which -Wmaybe-uninitialized reports
    // once they are inlined. The zero-masking forms with every lane selected
    // compile to the same instructions.
    static constexpr __mmask16 ALL_FLOATS = 0xffff;
    static constexpr __mmask8 ALL_DOUBLES = 0xff;

    static floats load(const float *p) { return _mm512_loadu_ps(p); }
    static void store(float *p, floats v) { _mm512_storeu_ps(p, v); }
    static floats splat(float f) { return _mm512_set1_ps(f); }
    static floats add(floats a, floats b) { return _mm512_add_ps(a, b); }
    static floats sub(floats a, floats b) { return _mm512_sub_ps(a, b); }
    static floats mul(floats a, floats b) { return _mm512_mul_ps(a, b); }
    static floats div(floats a, floats b) { return _mm512_div_ps(a, b); }

    template <int part> static half widen(floats a)
    {
        __m512d bits = _mm512_castps_pd(a);
        __m256d floats_of_part = _mm512_maskz_extractf64x4_pd(ALL_DOUBLES, bits, part);
        return _mm512_maskz_cvtps_pd(ALL_DOUBLES, _mm256_castpd_ps(floats_of_part));
    }
    static half widen_low(floats a) { return widen<0>(a); }
    static half widen_high(floats a) { return widen<1>(a); }
    static half add(half a, half b) { return _mm512_add_pd(a, b); }
    static half mul(half a, half b) { return _mm512_mul_pd(a, b); }
    static __m256 narrow(half a) { return _mm512_maskz_cvtpd_ps(ALL_DOUBLES, a); }
    static floats join(__m256 low, __m256 high)
    {
        return _mm512_castpd_ps(_mm512_maskz_insertf64x4(
            ALL_DOUBLES, _mm512_castpd256_pd512(_mm256_castps_pd(low)), _mm256_castps_pd(high), 1));
    }
    static half inverse(half a) { return _mm512_div_pd(_mm512_set1_pd(1), a); }
    static __m256 exact_root(half a) { return narrow(_mm512_maskz_sqrt_pd(ALL_DOUBLES, a)); }
    static floats root(half low, half high) { return join(exact_root(low), exact_root(high)); }

    static mask is_zero(floats a) { return _mm512_cmp_ps_mask(a, _mm512_setzero_ps(), _CMP_EQ_OQ); }
    static floats select(mask m, floats yes, floats no) { return _mm512_mask_blend_ps(m, no, yes); }

    // Row r of the result is column r of the input: pairs, then quads
    // within each 128-bit lane, then the lanes.
    static void transpose(floats r[width])
    {
        floats t[width];
        for (int i = 0; i < width; i += 2) {
            t[i] = _mm512_maskz_unpacklo_ps(ALL_FLOATS, r[i], r[i + 1]);
            t[i + 1] = _mm512_maskz_unpackhi_ps(ALL_FLOATS, r[i], r[i + 1]);
        }
        for (int q = 0; q < width; q += 4) {
            __m512d a = _mm512_castps_pd(t[q]);
            __m512d b = _mm512_castps_pd(t[q + 1]);
            __m512d c = _mm512_castps_pd(t[q + 2]);
            __m512d d = _mm512_castps_pd(t[q + 3]);
            r[q] = _mm512_castpd_ps(_mm512_maskz_unpacklo_pd(ALL_DOUBLES, a, c));
            r[q + 1] = _mm512_castpd_ps(_mm512_maskz_unpackhi_pd(ALL_DOUBLES, a, c));
            r[q + 2] = _mm512_castpd_ps(_mm512_maskz_unpacklo_pd(ALL_DOUBLES, b, d));
            r[q + 3] = _mm512_castpd_ps(_mm512_maskz_unpackhi_pd(ALL_DOUBLES, b, d));
        }
        // Now r[4q + m] holds column 4l + m of rows 4q to 4q + 3 in 128-bit
        // lane l; gather lane l of r[m], r[4 + m], r[8 + m], r[12 + m].
        for (int m = 0; m < 4; m++) {
            floats even_ab = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, r[m], r[4 + m], 0x88);
            floats odd_ab = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, r[m], r[4 + m], 0xdd);
            floats even_cd = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, r[8 + m], r[12 + m], 0x88);
            floats odd_cd = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, r[8 + m], r[12 + m], 0xdd);
            r[m] = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, even_ab, even_cd, 0x88);
            r[8 + m] = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, even_ab, even_cd, 0xdd);
            r[4 + m] = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, odd_ab, odd_cd, 0x88);
            r[12 + m] = _mm512_maskz_shuffle_f32x4(ALL_FLOATS, odd_ab, odd_cd, 0xdd);
        }
    }
};

// The square-root unit is the limit of the kernel above: two roots of eight
// doubles and three divisions of sixteen floats per sixteen pairs. This
// layer takes the upper eight roots from the multipliers instead: the
// reciprocal square-root estimate (error below 2^-14) and two Newton steps,
// each of which squares the error while its four roundings add at most
// 2^-51, give a root within 2^-50.5 of the exact one, under 7 double steps.
// Rounding a double to float is settled once it is known between which two
// float midpoints it lies: where no midpoint is within the margin of the
// estimate, it rounds as the correctly rounded root does. Where one is, the
// exact roots are taken instead, about once in ten million pairs. Valid
// only where every nonzero sum of squares is normal in double and its root
// normal in float, which estimable_positions makes sure of.
struct avx512_estimating_lanes : avx512_lanes {
    // In each binade a float step is 2^29 double steps, so the midpoints
    // are the doubles whose low 29 bits are 2^28.
    static constexpr long long FLOAT_STEP_BITS = (1LL << 29) - 1; // low bits of a double
    static constexpr long long HALF_FLOAT_STEP = 1LL << 28;       // double steps
    static constexpr long long MIDPOINT_MARGIN = 64;              // double steps

    // A sum of 0 gives 0; unsure marks the lanes near a midpoint.
    static __m512d estimate_root(__m512d s, __mmask8 *unsure)
    {
        const __m512d half_s = _mm512_mul_pd(s, _mm512_set1_pd(0.5));
        const __m512d three_halves = _mm512_set1_pd(1.5);
        __m512d y = _mm512_maskz_rsqrt14_pd(ALL_DOUBLES, s);
        for (int step = 0; step < 2; step++) {
            __m512d error = _mm512_mul_pd(half_s, _mm512_mul_pd(y, y));
            y = _mm512_mul_pd(y, _mm512_sub_pd(three_halves, error));
        }
        __mmask8 nonzero = _mm512_cmp_pd_mask(s, _mm512_setzero_pd(), _CMP_NEQ_UQ);
        __m512d root = _mm512_maskz_mul_pd(nonzero, s, y);
        __m512i from_midpoint = _mm512_and_si512(
            _mm512_add_epi64(_mm512_castpd_si512(root),
                             _mm512_set1_epi64(MIDPOINT_MARGIN - HALF_FLOAT_STEP)),
            _mm512_set1_epi64(FLOAT_STEP_BITS));
        *unsure = _mm512_cmple_epu64_mask(from_midpoint, _mm512_set1_epi64(2 * MIDPOINT_MARGIN));
        return root;
    }

    static floats root(half low, half high)
    {
        __mmask8 unsure;
        half estimate = estimate_root(high, &unsure);
        if (unsure != 0)
            return avx512_lanes::root(low, high);
        return join(exact_root(low), narrow(estimate));
    }
};

} // namespace

void repel_pairs_avx512(const repel_arrays &a)
{
    if (estimable_positions(a))
        repel_pairs<avx512_estimating_lanes>(a);
    else
        repel_pairs<avx512_lanes>(a);
}

void repel_pairs_avx512_reciprocal(const repel_arrays &a)
{
    if (estimable_positions(a))
        repel_pairs<reciprocal_lanes<avx512_lanes>>(a);
    else
        repel_pairs<avx512_lanes>(a);
}
