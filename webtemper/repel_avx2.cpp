// The pair kernel with AVX2: eight vertices a block.
#include "repel_block.h"

#include <immintrin.h>

namespace {

struct avx2_lanes {
    static constexpr int width = 8;
    using floats = __m256;
    using half = __m256d;
    using mask = __m256; // all ones in the lanes where it holds

    static floats load(const float *p) { return _mm256_loadu_ps(p); }
    static void store(float *p, floats v) { _mm256_storeu_ps(p, v); }
    static floats splat(float f) { return _mm256_set1_ps(f); }
    static floats add(floats a, floats b) { return _mm256_add_ps(a, b); }
    static floats sub(floats a, floats b) { return _mm256_sub_ps(a, b); }
    static floats mul(floats a, floats b) { return _mm256_mul_ps(a, b); }
    static floats div(floats a, floats b) { return _mm256_div_ps(a, b); }

    static half widen_low(floats a) { return _mm256_cvtps_pd(_mm256_castps256_ps128(a)); }
    static half widen_high(floats a) { return _mm256_cvtps_pd(_mm256_extractf128_ps(a, 1)); }
    static half add(half a, half b) { return _mm256_add_pd(a, b); }
    static half mul(half a, half b) { return _mm256_mul_pd(a, b); }
    static floats root(half low, half high)
    {
        return _mm256_set_m128(_mm256_cvtpd_ps(_mm256_sqrt_pd(high)),
                               _mm256_cvtpd_ps(_mm256_sqrt_pd(low)));
    }

    static mask is_zero(floats a) { return _mm256_cmp_ps(a, _mm256_setzero_ps(), _CMP_EQ_OQ); }
    static floats select(mask m, floats yes, floats no) { return _mm256_blendv_ps(no, yes, m); }

    // Row r of the result is column r of the input: pairs, then quads
    // within each 128-bit half, then the halves.
    static void transpose(floats r[width])
    {
        floats t[width];
        for (int i = 0; i < width; i += 2) {
            t[i] = _mm256_unpacklo_ps(r[i], r[i + 1]);
            t[i + 1] = _mm256_unpackhi_ps(r[i], r[i + 1]);
        }
        for (int q = 0; q < width; q += 4) {
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
            floats low = _mm256_permute2f128_ps(r[m], r[4 + m], 0x20);
            floats high = _mm256_permute2f128_ps(r[m], r[4 + m], 0x31);
            r[m] = low;
            r[4 + m] = high;
        }
    }
};

} // namespace

void repel_pairs_avx2(const repel_arrays &a)
{
    repel_pairs<avx2_lanes>(a);
}
