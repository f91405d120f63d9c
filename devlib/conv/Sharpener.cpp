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

// AVX2: sixteen 16-bit lanes.
namespace avx2 {

#define SHARPEN_TARGET __attribute__((target("avx2")))
#define SHARPEN_OP(name) _mm256_##name

using Vec = __m256i;
constexpr int kLanes = 16;

SHARPEN_TARGET inline Vec widen(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Byte shifts work per 128-bit lane: each lane is shifted out of the pair of lanes that
// holds it and its neighbour.
template <int Step> SHARPEN_TARGET inline Vec before(Vec previous, Vec current)
{
    return _mm256_alignr_epi8(current, _mm256_permute2x128_si256(previous, current, 0x21), 16 - 2 * Step);
}
template <int Step> SHARPEN_TARGET inline Vec after(Vec current, Vec next)
{
    return _mm256_alignr_epi8(_mm256_permute2x128_si256(current, next, 0x21), current, 2 * Step);
}

SHARPEN_TARGET inline void store2(Vec first, Vec second, uint8_t* out)
{
    // Saturating is the clamp; packing works per 128-bit lane, so the quarters are put back
    // in order before the store.
    const Vec packed = _mm256_packus_epi16(first, second);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), _mm256_permute4x64_epi64(packed, 0xD8));
}

#include "SharpenKernel.inc"

#undef SHARPEN_OP
#undef SHARPEN_TARGET

} // namespace avx2

// AVX-512 (with its byte and word instructions): thirty-two 16-bit lanes.
namespace avx512 {

#define SHARPEN_TARGET __attribute__((target("avx512f,avx512bw")))
#define SHARPEN_OP(name) _mm512_##name

using Vec = __m512i;
constexpr int kLanes = 32;

SHARPEN_TARGET inline Vec widen(const uint8_t* p)
{
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

// Lane k of the pair (low, high) by a word permutation: indices 0..31 pick low's lanes,
// 32..63 high's. first is the index of lane 0.
template <int First> SHARPEN_TARGET inline Vec window(Vec low, Vec high)
{
    const Vec ramp = _mm512_set_epi16(31, 30, 29, 28, 27, 26, 25, 24, 23, 22, 21, 20, 19, 18, 17, 16, 15, 14, 13, 12,
                                      11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
    return _mm512_permutex2var_epi16(low, _mm512_add_epi16(ramp, _mm512_set1_epi16(First)), high);
}
template <int Step> SHARPEN_TARGET inline Vec before(Vec previous, Vec current)
{
    return window<kLanes - Step>(previous, current);
}
template <int Step> SHARPEN_TARGET inline Vec after(Vec current, Vec next) { return window<Step>(current, next); }

SHARPEN_TARGET inline void store2(Vec first, Vec second, uint8_t* out)
{
    // As for AVX2, with four 128-bit lanes to put back in order. (The zero-masking form of the
    // permutation, with every lane kept: GCC 12's plain form warns about its own header.)
    const Vec packed = _mm512_packus_epi16(first, second);
    const Vec order = _mm512_setr_epi64(0, 2, 4, 6, 1, 3, 5, 7);
    _mm512_storeu_si512(out, _mm512_maskz_permutexvar_epi64(0xFF, order, packed));
}

#include "SharpenKernel.inc"

#undef SHARPEN_OP
#undef SHARPEN_TARGET

} // namespace avx512

// The widest vector code this processor runs for the row and step; false when none applies.
bool sharpenVectors(const uint8_t* a, const uint8_t* r, const uint8_t* b, int total, int step, bool adaptive,
                    uint8_t* out)
{
    static const bool haveAvx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
    static const bool haveAvx2 = __builtin_cpu_supports("avx2");
    if (haveAvx512 && total >= avx512::kMinRow)
        return avx512::sharpenVectors(a, r, b, total, step, adaptive, out);
    if (haveAvx2 && total >= avx2::kMinRow)
        return avx2::sharpenVectors(a, r, b, total, step, adaptive, out);
    return false;
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
    const bool done = sharpenVectors(above, row, below, total, step, adaptive, out);
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
