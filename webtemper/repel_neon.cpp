// The pair kernel with NEON: four vertices a block.
#include "repel_block.h"

#include <arm_neon.h>

namespace {

struct neon_lanes {
    static constexpr int width = 4;
    using floats = float32x4_t;
    using half = float64x2_t;
    using mask = uint32x4_t; // all ones in the lanes where it holds

    static floats load(const float *p) { return vld1q_f32(p); }
    static void store(float *p, floats v) { vst1q_f32(p, v); }
    static floats splat(float f) { return vdupq_n_f32(f); }
    static floats add(floats a, floats b) { return vaddq_f32(a, b); }
    static floats sub(floats a, floats b) { return vsubq_f32(a, b); }
    static floats mul(floats a, floats b) { return vmulq_f32(a, b); }
    static floats div(floats a, floats b) { return vdivq_f32(a, b); }

    static half widen_low(floats a) { return vcvt_f64_f32(vget_low_f32(a)); }
    static half widen_high(floats a) { return vcvt_high_f64_f32(a); }
    static half add(half a, half b) { return vaddq_f64(a, b); }
    static half mul(half a, half b) { return vmulq_f64(a, b); }
    static floats root(half low, half high)
    {
        return vcvt_high_f32_f64(vcvt_f32_f64(vsqrtq_f64(low)), vsqrtq_f64(high));
    }

    static mask is_zero(floats a) { return vceqzq_f32(a); }
    static floats select(mask m, floats yes, floats no) { return vbslq_f32(m, yes, no); }

    // Row r of the result is column r of the input: 2 × 2 blocks swapped
    // within each pair of rows, then the halves across the pairs.
    static void transpose(floats r[width])
    {
        float32x4x2_t rows01 = vtrnq_f32(r[0], r[1]);
        float32x4x2_t rows23 = vtrnq_f32(r[2], r[3]);
        r[0] = vcombine_f32(vget_low_f32(rows01.val[0]), vget_low_f32(rows23.val[0]));
        r[1] = vcombine_f32(vget_low_f32(rows01.val[1]), vget_low_f32(rows23.val[1]));
        r[2] = vcombine_f32(vget_high_f32(rows01.val[0]), vget_high_f32(rows23.val[0]));
        r[3] = vcombine_f32(vget_high_f32(rows01.val[1]), vget_high_f32(rows23.val[1]));
    }
};

} // namespace

void repel_pairs_neon(const repel_arrays &a)
{
    repel_pairs<neon_lanes>(a);
}
