// Marks a function whose loops are compiled three times, for AVX-512 (the x86-64-v4 level),
// for AVX2 and for the baseline instruction set; the dynamic loader picks the widest version
// that the processor runs. The loops so marked are integer code: every version gives the
// same results.
// Thread-sanitizer builds keep one version: the loader runs the selecting resolver before
// the sanitizer's runtime is ready, and an instrumented resolver crashes there.
#ifndef VYKCONV_HOT_LOOP_H
#define VYKCONV_HOT_LOOP_H

#if defined(__GNUC__) && defined(__x86_64__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define VYKCONV_HOT_LOOP __attribute__((target_clones("arch=x86-64-v4", "avx2", "default")))
#else
#define VYKCONV_HOT_LOOP
#endif

#endif
