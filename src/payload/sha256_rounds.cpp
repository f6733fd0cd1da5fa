#include "payload/sha256_rounds.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define SHA256_X86 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

// GCC and clang compile the instructions only into functions marked for
// them; MSVC needs no mark. On 32-bit Windows a thread's stack is only
// 4-byte aligned, and GCC would spill the 16-byte registers to it with
// aligned moves: the entry realigns it.
#if defined(SHA256_X86) && (defined(__GNUC__) || defined(__clang__))
#define SHA256_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#if defined(__i386__)
#define SHA256_ENTRY SHA256_TARGET __attribute__((force_align_arg_pointer))
#else
#define SHA256_ENTRY SHA256_TARGET
#endif
#else
#define SHA256_TARGET
#define SHA256_ENTRY
#endif

namespace payload {
namespace {

alignas(16) constexpr uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

inline uint32_t RotateRight(uint32_t value, int bits) {
  return (value >> bits) | (value << (32 - bits));
}

inline uint32_t BigEndian32(const uint8_t* bytes) {
  return (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) |
         uint32_t{bytes[3]};
}

#if defined(SHA256_X86)

// Four rounds: the message words `words` (already expanded) with their
// constants, two rounds per instruction.
SHA256_TARGET inline void FourRounds(__m128i& abef, __m128i& cdgh, __m128i words, int group) {
  const __m128i constants =
      _mm_load_si128(reinterpret_cast<const __m128i*>(kRoundConstants + 4 * group));
  __m128i message = _mm_add_epi32(words, constants);
  cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);
  message = _mm_shuffle_epi32(message, 0x0E);
  abef = _mm_sha256rnds2_epu32(abef, cdgh, message);
}

// The message schedule: the next four words from the sixteen before them,
// held as four vectors of which `next` is the oldest.
SHA256_TARGET inline void ExpandInto(__m128i& next, __m128i previous, __m128i latest) {
  next = _mm_add_epi32(next, _mm_alignr_epi8(latest, previous, 4));
  next = _mm_sha256msg2_epu32(next, latest);
}

bool ProcessorHasShaInstructions() {
  unsigned int leaf1Ecx = 0;
  unsigned int leaf7Ebx = 0;
#if defined(_MSC_VER)
  int registers[4];
  __cpuid(registers, 0);
  if (registers[0] < 7) return false;
  __cpuid(registers, 1);
  leaf1Ecx = static_cast<unsigned int>(registers[2]);
  __cpuidex(registers, 7, 0);
  leaf7Ebx = static_cast<unsigned int>(registers[1]);
#else
  if (__get_cpuid_max(0, nullptr) < 7) return false;
  unsigned int a = 0, b = 0, c = 0, d = 0;
  __cpuid(1, a, b, c, d);
  leaf1Ecx = c;
  __cpuid_count(7, 0, a, b, c, d);
  leaf7Ebx = b;
#endif
  const bool ssse3 = (leaf1Ecx & (1u << 9)) != 0;
  const bool sse41 = (leaf1Ecx & (1u << 19)) != 0;
  const bool sha = (leaf7Ebx & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

#endif

}  // namespace

void Sha256PortableRounds(uint32_t state[8], const uint8_t* blocks, size_t count) {
  for (; count > 0; --count, blocks += 64) {
    uint32_t w[64];
    for (int i = 0; i < 16; ++i) w[i] = BigEndian32(blocks + 4 * i);
    for (int i = 16; i < 64; ++i) {
      const uint32_t s0 = RotateRight(w[i - 15], 7) ^ RotateRight(w[i - 15], 18) ^ (w[i - 15] >> 3);
      const uint32_t s1 = RotateRight(w[i - 2], 17) ^ RotateRight(w[i - 2], 19) ^ (w[i - 2] >> 10);
      w[i] = w[i - 16] + s0 + w[i - 7] + s1;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int i = 0; i < 64; ++i) {
      const uint32_t s1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
      const uint32_t choice = (e & f) ^ (~e & g);
      const uint32_t t1 = h + s1 + choice + kRoundConstants[i] + w[i];
      const uint32_t s0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
      const uint32_t majority = (a & b) ^ (a & c) ^ (b & c);
      const uint32_t t2 = s0 + majority;
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#if defined(SHA256_X86)

// The instructions keep the state as ABEF and CDGH, and the message words
// byte-swapped.
SHA256_ENTRY void Sha256RoundsWithShaInstructions(uint32_t state[8], const uint8_t* blocks,
                                                  size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, blocks += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    const __m128i* in = reinterpret_cast<const __m128i*>(blocks);
    __m128i m0 = _mm_shuffle_epi8(_mm_loadu_si128(in), byteSwap);
    __m128i m1 = _mm_shuffle_epi8(_mm_loadu_si128(in + 1), byteSwap);
    __m128i m2 = _mm_shuffle_epi8(_mm_loadu_si128(in + 2), byteSwap);
    __m128i m3 = _mm_shuffle_epi8(_mm_loadu_si128(in + 3), byteSwap);

    FourRounds(abef, cdgh, m0, 0);
    FourRounds(abef, cdgh, m1, 1);
    m0 = _mm_sha256msg1_epu32(m0, m1);
    FourRounds(abef, cdgh, m2, 2);
    m1 = _mm_sha256msg1_epu32(m1, m2);
    // Groups 3 to 14 each expand the words the group after next uses;
    // the vectors take turns.
    for (int group = 3; group < 15; group += 4) {
      FourRounds(abef, cdgh, m3, group);
      ExpandInto(m0, m2, m3);
      m2 = _mm_sha256msg1_epu32(m2, m3);
      FourRounds(abef, cdgh, m0, group + 1);
      ExpandInto(m1, m3, m0);
      m3 = _mm_sha256msg1_epu32(m3, m0);
      FourRounds(abef, cdgh, m1, group + 2);
      ExpandInto(m2, m0, m1);
      if (group + 2 <= 12) m0 = _mm_sha256msg1_epu32(m0, m1);
      FourRounds(abef, cdgh, m2, group + 3);
      ExpandInto(m3, m1, m2);
      if (group + 3 <= 12) m1 = _mm_sha256msg1_epu32(m1, m2);
    }
    FourRounds(abef, cdgh, m3, 15);

    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), hgfe);
}

bool Sha256UsesProcessorInstructions() {
  static const bool has = ProcessorHasShaInstructions();
  return has;
}

#else

void Sha256RoundsWithShaInstructions(uint32_t state[8], const uint8_t* blocks, size_t count) {
  Sha256PortableRounds(state, blocks, count);
}

bool Sha256UsesProcessorInstructions() { return false; }

#endif

}  // namespace payload
