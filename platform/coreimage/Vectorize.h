// Marks a pixel loop to be compiled twice, for plain x86-64 and for AVX2 with
// FMA, the copy chosen once at load time by the CPU. Elsewhere it is nothing.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define CI_VECTORIZE __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define CI_VECTORIZE
#endif
