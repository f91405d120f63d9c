#include "Sharpener.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VYKCONV_SHARPEN_X86 1
#endif

namespace vykconv {

namespace {

// Rows shorter than this many elements are sharpened element by element.
constexpr int kMinVectorRow = 64;

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

// Sixteen elements of the three rows at i, widened: the centre row and the column sums
// above + 2 x row + below.
struct Columns {
    __m256i centre;
    __m256i sum;
};

__attribute__((target("avx2"))) inline Columns columns(const uint8_t* a, const uint8_t* r, const uint8_t* b, int i)
{
    const __m256i centre = load16(r + i);
    return {centre, _mm256_add_epi16(_mm256_add_epi16(load16(a + i), load16(b + i)), _mm256_slli_epi16(centre, 1))};
}

// The sharpened values of the sixteen elements of current (16-bit, not yet clamped), exactly
// as sharpened() computes each. The binomial sum is separable (left column + 2 x centre
// column + right column): the left and right neighbours' column sums are the centre's
// shifted by Step elements, taken from the blocks before and after.
template <int Step, bool Adaptive>
__attribute__((target("avx2"))) inline __m256i sharpenBlock(__m256i previous, const Columns& current, __m256i next)
{
    // Byte shifts work per 128-bit lane: each lane is shifted out of the pair of lanes
    // that holds it and its neighbours.
    const __m256i before = _mm256_permute2x128_si256(previous, current.sum, 0x21);
    const __m256i after = _mm256_permute2x128_si256(current.sum, next, 0x21);
    const __m256i left = _mm256_alignr_epi8(current.sum, before, 16 - 2 * Step);
    const __m256i right = _mm256_alignr_epi8(after, current.sum, 2 * Step);
    const __m256i sum = _mm256_add_epi16(_mm256_add_epi16(left, right), _mm256_slli_epi16(current.sum, 1));
    const __m256i d = _mm256_sub_epi16(_mm256_slli_epi16(current.centre, 4), sum);
    __m256i correction;
    if (Adaptive) {
        // weight = min(max(|d| - noise, 0), noise) by an unsigned saturating subtraction;
        // (4 d x 24 weight) >> 16 = (d x 96 weight) >> 16, and 96 x kNoiseLevel fits 16 bits.
        const __m256i noise = _mm256_set1_epi16(Sharpener::kNoiseLevel);
        const __m256i weight = _mm256_min_epi16(_mm256_subs_epu16(_mm256_abs_epi16(d), noise), noise);
        correction = _mm256_mulhi_epi16(d, _mm256_mullo_epi16(weight, _mm256_set1_epi16(96)));
    } else {
        correction = _mm256_srai_epi16(_mm256_add_epi16(d, _mm256_slli_epi16(d, 1)), 5);
    }
    return _mm256_add_epi16(current.centre, correction);
}

// Clamps two blocks of sixteen 16-bit values to 0..255 and stores them at out, in order.
__attribute__((target("avx2"))) inline void store32(__m256i first, __m256i second, uint8_t* out)
{
    // Saturating is the clamp; packing works per 128-bit lane, so the quarters are put
    // back in order before the store.
    const __m256i packed = _mm256_packus_epi16(first, second);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute4x64_epi64(packed, 0xD8));
}

// Sharpens two blocks of sixteen elements into out, given the column sums of the block
// before them, of both, and of the block after.
template <int Step, bool Adaptive>
__attribute__((target("avx2"))) inline void step32(__m256i previous, const Columns& first, const Columns& second,
                                                   __m256i next, uint8_t* out)
{
    store32(sharpenBlock<Step, Adaptive>(previous, first, second.sum),
            sharpenBlock<Step, Adaptive>(first.sum, second, next), out);
}

// Every element of a row of total elements (at least kMinVectorRow), Step bytes apart, as
// sharpened() computes each, except the first and last Step ones, which it leaves undefined
// (their neighbours lie outside the row). Thirty-two elements per step; the last step is
// placed against the row's end and overlaps the one before, writing the same values again.
template <int Step, bool Adaptive>
__attribute__((target("avx2"))) void sharpenAvx2(const uint8_t* a, const uint8_t* r, const uint8_t* b, int total,
                                                 uint8_t* out)
{
    Columns first = columns(a, r, b, 0);
    __m256i previous = first.sum; // left of element 0 nothing is needed
    int i = 0;
    for (; i + 48 <= total; i += 32) {
        const Columns second = columns(a, r, b, i + 16);
        const Columns third = columns(a, r, b, i + 32);
        step32<Step, Adaptive>(previous, first, second, third.sum, out + i);
        previous = second.sum;
        first = third;
    }
    // Fewer than 48 elements are left. Steps placed against the row's end take them: the
    // next-to-last one only when more than 32 are left; the last one has no block after it,
    // which only its last Step elements would use.
    if (total - i > 32) {
        const int s = total - 48;
        step32<Step, Adaptive>(columns(a, r, b, s - 16).sum, columns(a, r, b, s), columns(a, r, b, s + 16),
                               columns(a, r, b, s + 32).sum, out + s);
    }
    const int s = total - 32;
    const Columns second = columns(a, r, b, s + 16);
    step32<Step, Adaptive>(columns(a, r, b, s - 16).sum, columns(a, r, b, s), second, second.sum, out + s);
}

// The vector code for the element distance Step, plain or adaptive.
template <int Step>
void sharpenRowAvx2(const uint8_t* a, const uint8_t* r, const uint8_t* b, int total, bool adaptive, uint8_t* out)
{
    if (adaptive)
        sharpenAvx2<Step, true>(a, r, b, total, out);
    else
        sharpenAvx2<Step, false>(a, r, b, total, out);
}

// The vector code for the element distance step (the channel count) over a row of total
// elements, at least kMinVectorRow; false when it has none for that step.
bool sharpenVectors(const uint8_t* a, const uint8_t* r, const uint8_t* b, int total, int step, bool adaptive,
                    uint8_t* out)
{
    switch (step) {
    case 1:
        sharpenRowAvx2<1>(a, r, b, total, adaptive, out);
        return true;
    case 3:
        sharpenRowAvx2<3>(a, r, b, total, adaptive, out);
        return true;
    case 4:
        sharpenRowAvx2<4>(a, r, b, total, adaptive, out);
        return true;
    default:
        return false;
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
#ifdef VYKCONV_SHARPEN_X86
    const bool done = haveAvx2() && total >= kMinVectorRow && sharpenVectors(above, row, below, total, step, adaptive, out);
#else
    const bool done = false;
#endif
    if (!done)
        sharpenScalar(above, row, below, step, total - step, step, adaptive, out);
    // The first and last pixel have no neighbour on one side: they are copied.
    std::memcpy(out, row, static_cast<size_t>(step));
    std::memcpy(out + total - step, row + total - step, static_cast<size_t>(step));
}

} // namespace vykconv
