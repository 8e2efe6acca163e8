// The pair kernel with SSE2: four vertices a block.
#include "repel_block.h"

#include <emmintrin.h>

namespace {

struct sse2_lanes {
    static constexpr int width = 4;
    using floats = __m128;
    using half = __m128d;
    using mask = __m128; // all ones in the lanes where it holds

    static floats load(const float *p) { return _mm_loadu_ps(p); }
    static void store(float *p, floats v) { _mm_storeu_ps(p, v); }
    static floats splat(float f) { return _mm_set1_ps(f); }
    static floats add(floats a, floats b) { return _mm_add_ps(a, b); }
    static floats sub(floats a, floats b) { return _mm_sub_ps(a, b); }
    static floats mul(floats a, floats b) { return _mm_mul_ps(a, b); }
    static floats div(floats a, floats b) { return _mm_div_ps(a, b); }

    static half widen_low(floats a) { return _mm_cvtps_pd(a); }
    static half widen_high(floats a) { return _mm_cvtps_pd(_mm_movehl_ps(a, a)); }
    static half add(half a, half b) { return _mm_add_pd(a, b); }
    static half mul(half a, half b) { return _mm_mul_pd(a, b); }
    static floats root(half low, half high)
    {
        return _mm_movelh_ps(_mm_cvtpd_ps(_mm_sqrt_pd(low)), _mm_cvtpd_ps(_mm_sqrt_pd(high)));
    }

    static mask is_zero(floats a) { return _mm_cmpeq_ps(a, _mm_setzero_ps()); }
    static floats select(mask m, floats yes, floats no)
    {
        return _mm_or_ps(_mm_and_ps(m, yes), _mm_andnot_ps(m, no));
    }
    static void transpose(floats r[width]) { _MM_TRANSPOSE4_PS(r[0], r[1], r[2], r[3]); }
};

} // namespace

void repel_pairs_sse2(const repel_arrays &a)
{
    repel_pairs<sse2_lanes>(a);
}
