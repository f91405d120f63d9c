#include "Sharpener.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VYKCONV_SHARPEN_X86 1
#endif

namespace vykconv {

namespace {

// Detail of one element: 16 x centre minus the binomial 3 x 3 sum (weights 1 2 1 / 2 4 2 / 1 2 1).
// |detail| <= 16 x 255, so 16-bit arithmetic holds it.
inline int16_t detail(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i, int step)
{
    const int16_t sum = static_cast<int16_t>(a[i - step] + 2 * a[i] + a[i + step] + 2 * r[i - step] + 4 * r[i]
                                             + 2 * r[i + step] + b[i - step] + 2 * b[i] + b[i + step]);
    return static_cast<int16_t>(16 * r[i] - sum);
}

// The sharpened value of element i: plain, centre + 1.5 x detail / 16; adaptive, the same
// scaled by the detail's strength above the noise level: d x weight / kNoiseLevel x 1.5 / 16
// = (4 d) x (24 weight) / 2^16, both factors within 16 bits (the vector code relies on it).
inline uint8_t sharpened(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i, int step, bool adaptive)
{
    const int16_t d = detail(a, r, b, i, step);
    int16_t correction = 0;
    if (adaptive) {
        const int16_t magnitude = static_cast<int16_t>(d < 0 ? -d : d);
        const int16_t weight = std::min<int16_t>(std::max<int16_t>(magnitude - Sharpener::kNoiseLevel, 0),
                                                 Sharpener::kNoiseLevel);
        correction = static_cast<int16_t>((static_cast<int32_t>(d * 4) * (weight * 24)) >> 16);
    } else {
        correction = static_cast<int16_t>((d * 3) >> 5);
    }
    const int16_t v = static_cast<int16_t>(r[i] + correction);
    return static_cast<uint8_t>(std::min<int16_t>(std::max<int16_t>(v, 0), 255));
}

// Elements [begin, end) one at a time.
void sharpenScalar(const uint8_t* a, const uint8_t* r, const uint8_t* b, int begin, int end, int step,
                  bool adaptive, uint8_t* out)
{
    for (int i = begin; i < end; ++i)
        out[i] = sharpened(a, r, b, i, step, adaptive);
}

#ifdef VYKCONV_SHARPEN_X86

// Sixteen elements widened to 16 bits.
__attribute__((target("avx2"))) inline __m256i load16(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// The column sums above + 2 x row + below of sixteen elements.
__attribute__((target("avx2"))) inline __m256i column(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i)
{
    return _mm256_add_epi16(_mm256_add_epi16(load16(a + i), load16(b + i)), _mm256_slli_epi16(load16(r + i), 1));
}

// Sixteen elements at a time from i on, exactly as sharpened() computes each, for elements
// Step bytes apart; returns the first element not done (the rest is left to the scalar
// loop). The binomial sum is separable (left column + 2 x centre column + right column), and
// each step computes the column sums of the next sixteen elements only: the left and right
// neighbours' sums are the centre's shifted by Step, taken from the blocks before and after.
// Needs i >= 16, so that the block before exists.
template <int Step>
__attribute__((target("avx2"))) int sharpenAvx2(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i,
                                                int end, int total, bool adaptive, uint8_t* out)
{
    const __m256i noise = _mm256_set1_epi16(Sharpener::kNoiseLevel);
    const __m256i zero = _mm256_setzero_si256();
    const __m256i twentyFour = _mm256_set1_epi16(24);
    __m256i previous = column(a, r, b, i - 16);
    __m256i current = column(a, r, b, i);
    // The block after must lie within the row too.
    for (; i + 16 <= end && i + 32 <= total; i += 16) {
        const __m256i next = column(a, r, b, i + 16);
        // Byte shifts work per 128-bit lane: each lane is shifted out of the pair of lanes
        // that holds it and its neighbours.
        const __m256i before = _mm256_permute2x128_si256(previous, current, 0x21);
        const __m256i after = _mm256_permute2x128_si256(current, next, 0x21);
        const __m256i left = _mm256_alignr_epi8(current, before, 16 - 2 * Step);
        const __m256i right = _mm256_alignr_epi8(after, current, 2 * Step);
        const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(left, right), _mm256_slli_epi16(current, 1));
        const __m256i centre = load16(r + i);
        const __m256i d = _mm256_sub_epi16(_mm256_slli_epi16(centre, 4), sum);
        __m256i correction;
        if (adaptive) {
            const __m256i weight =
                _mm256_min_epi16(_mm256_max_epi16(_mm256_sub_epi16(_mm256_abs_epi16(d), noise), zero), noise);
            correction = _mm256_mulhi_epi16(_mm256_slli_epi16(d, 2), _mm256_mullo_epi16(weight, twentyFour));
        } else {
            correction = _mm256_srai_epi16(_mm256_add_epi16(d, _mm256_slli_epi16(d, 1)), 5);
        }
        // Saturating to 0..255 is the clamp; packing works per 128-bit lane, so the two
        // halves are gathered before the store.
        const __m256i packed = _mm256_packus_epi16(_mm256_add_epi16(centre, correction), zero);
        const __m256i ordered = _mm256_permute4x64_epi64(packed, 0x08);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm256_castsi256_si128(ordered));
        previous = current;
        current = next;
    }
    return i;
}

// The vector loop for the element distance step (the channel count): elements [16, end) as
// far as it goes; returns the first element not done, 16 when it did nothing.
int sharpenVectors(const uint8_t* a, const uint8_t* r, const uint8_t* b, int end, int total, int step,
                   bool adaptive, uint8_t* out)
{
    switch (step) {
    case 1:
        return sharpenAvx2<1>(a, r, b, 16, end, total, adaptive, out);
    case 3:
        return sharpenAvx2<3>(a, r, b, 16, end, total, adaptive, out);
    case 4:
        return sharpenAvx2<4>(a, r, b, 16, end, total, adaptive, out);
    default:
        return 16;
    }
}

bool haveAvx2()
{
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}

#endif

} // namespace

void Sharpener::sharpenRow(const uint8_t* above, const uint8_t* row, const uint8_t* below, int width,
                           int channels, bool adaptive, uint8_t* __restrict out)
{
    const int step = channels;
    const int total = width * channels;
    if (width < 3) {
        std::memcpy(out, row, static_cast<size_t>(total));
        return;
    }
    std::memcpy(out, row, static_cast<size_t>(step));
    std::memcpy(out + total - step, row + total - step, static_cast<size_t>(step));
    int done = step;
#ifdef VYKCONV_SHARPEN_X86
    // The vector loop starts at element 16, where the block before it exists.
    if (haveAvx2() && total >= 48) {
        sharpenScalar(above, row, below, step, 16, step, adaptive, out);
        done = sharpenVectors(above, row, below, total - step, total, step, adaptive, out);
    }
#endif
    sharpenScalar(above, row, below, done, total - step, step, adaptive, out);
}

} // namespace vykconv
