#pragma once
// Block loops that the compiler vectorises are built twice on x86-64 with
// GCC: for the baseline instruction set (SSE2) and for AVX2, and the one the
// processor can run is chosen when the program is loaded. The loops are
// integer arithmetic, so both builds give the same bits; the AVX2 one only
// takes more samples per instruction. Elsewhere the plain build is the only
// one. TONALITH_X86_64_GCC is 1 where such builds are made, for the loops
// written with AVX2 instructions beside a plain version.
//
// Not under ThreadSanitizer: the choice is made by resolver functions that
// the loader calls before the sanitizer's runtime is up, and the sanitizer
// instruments them too, so the program would crash as it is loaded.

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(__SANITIZE_THREAD__)
#define TONALITH_X86_64_GCC 1
#define TONALITH_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TONALITH_X86_64_GCC 0
#define TONALITH_VECTOR_CLONES
#endif
