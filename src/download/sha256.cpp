#include "download/sha256.h"

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define ZEVA_SHA256_X86 1
#include <cpuid.h>
#include <immintrin.h>
#endif

namespace zeva {
namespace {

// Big enough that a read costs little beside the rounds, small enough to stay in the cache
// the rounds read it from.
constexpr size_t kReadSize = 256 * 1024;

alignas(16) constexpr std::array<uint32_t, 64> kRound = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr std::array<uint32_t, 8> kInitial = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                              0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t Rotr(uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

inline uint32_t LoadBigEndian(const uint8_t* p) {
  return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | uint32_t{p[3]};
}

// One round; the caller turns the roles of the eight words instead of moving them.
inline void Round(uint32_t a, uint32_t b, uint32_t c, uint32_t& d, uint32_t e, uint32_t f,
                  uint32_t g, uint32_t& h, uint32_t k, uint32_t w) {
  const uint32_t t1 = h + (Rotr(e, 6) ^ Rotr(e, 11) ^ Rotr(e, 25)) + (g ^ (e & (f ^ g))) + k + w;
  const uint32_t t2 = (Rotr(a, 2) ^ Rotr(a, 13) ^ Rotr(a, 22)) + (b ^ ((a ^ b) & (b ^ c)));
  d += t1;
  h = t1 + t2;
}

// The message word of round i >= 16, in a ring of the last 16.
inline uint32_t Schedule(uint32_t* w, int i) {
  const uint32_t w15 = w[(i - 15) & 15];
  const uint32_t w2 = w[(i - 2) & 15];
  return w[i & 15] += (Rotr(w2, 17) ^ Rotr(w2, 19) ^ (w2 >> 10)) + w[(i - 7) & 15] +
                      (Rotr(w15, 7) ^ Rotr(w15, 18) ^ (w15 >> 3));
}

// Unrolled whole, so the ring's places are constants: about a quarter faster than loops.
void CompressPortable(uint32_t* state, const uint8_t* data, size_t count) {
  for (; count > 0; --count, data += 64) {
    uint32_t w[16];
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) w[i] = LoadBigEndian(data + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
#pragma GCC unroll 2
    for (int i = 0; i < 16; i += 8) {
      Round(a, b, c, d, e, f, g, h, kRound[i], w[i]);
      Round(h, a, b, c, d, e, f, g, kRound[i + 1], w[i + 1]);
      Round(g, h, a, b, c, d, e, f, kRound[i + 2], w[i + 2]);
      Round(f, g, h, a, b, c, d, e, kRound[i + 3], w[i + 3]);
      Round(e, f, g, h, a, b, c, d, kRound[i + 4], w[i + 4]);
      Round(d, e, f, g, h, a, b, c, kRound[i + 5], w[i + 5]);
      Round(c, d, e, f, g, h, a, b, kRound[i + 6], w[i + 6]);
      Round(b, c, d, e, f, g, h, a, kRound[i + 7], w[i + 7]);
    }
#pragma GCC unroll 6
    for (int i = 16; i < 64; i += 8) {
      Round(a, b, c, d, e, f, g, h, kRound[i], Schedule(w, i));
      Round(h, a, b, c, d, e, f, g, kRound[i + 1], Schedule(w, i + 1));
      Round(g, h, a, b, c, d, e, f, kRound[i + 2], Schedule(w, i + 2));
      Round(f, g, h, a, b, c, d, e, kRound[i + 3], Schedule(w, i + 3));
      Round(e, f, g, h, a, b, c, d, kRound[i + 4], Schedule(w, i + 4));
      Round(d, e, f, g, h, a, b, c, kRound[i + 5], Schedule(w, i + 5));
      Round(c, d, e, f, g, h, a, b, kRound[i + 6], Schedule(w, i + 6));
      Round(b, c, d, e, f, g, h, a, kRound[i + 7], Schedule(w, i + 7));
    }
    state[0] += a, state[1] += b, state[2] += c, state[3] += d;
    state[4] += e, state[5] += f, state[6] += g, state[7] += h;
  }
}

#if ZEVA_SHA256_X86

bool DetectShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d)) return false;
  const bool sha = (b & (1u << 29)) != 0;
  return ssse3 && sse41 && sha;
}

// The rounds on the SHA extensions: four rounds per step, the message schedule alongside.
// The state lives as ABEF and CDGH, the order the instructions want.
__attribute__((target("sha,sse4.1,ssse3"))) void CompressShaExtensions(uint32_t* state,
                                                                       const uint8_t* data,
                                                                       size_t count) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);

  for (; count > 0; --count, data += 64) {
    const __m128i abefStart = abef;
    const __m128i cdghStart = cdgh;
    __m128i m[4];
    for (int i = 0; i < 4; ++i) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                              byteSwap);
    }
    // Step g runs rounds 4g to 4g + 3 with m[g % 4]; it finishes the words of step g + 1
    // (steps 3 to 14) and starts those of step g + 3 (steps 1 to 12).
#define ZEVA_SHA256_STEP(g)                                                                        \
  {                                                                                                \
    __m128i& current = m[(g) % 4];                                                                 \
    __m128i message = _mm_add_epi32(                                                               \
        current, _mm_load_si128(reinterpret_cast<const __m128i*>(&kRound[4 * (g)])));              \
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, message);                                             \
    if ((g) >= 3 && (g) <= 14) {                                                                   \
      __m128i& next = m[((g) + 1) % 4];                                                            \
      next = _mm_add_epi32(next, _mm_alignr_epi8(current, m[((g) + 3) % 4], 4));                   \
      next = _mm_sha256msg2_epu32(next, current);                                                  \
    }                                                                                              \
    message = _mm_shuffle_epi32(message, 0x0E);                                                    \
    abef = _mm_sha256rnds2_epu32(abef, cdgh, message);                                             \
    if ((g) >= 1 && (g) <= 12) m[((g) + 3) % 4] = _mm_sha256msg1_epu32(m[((g) + 3) % 4], current); \
  }
    ZEVA_SHA256_STEP(0)
    ZEVA_SHA256_STEP(1)
    ZEVA_SHA256_STEP(2)
    ZEVA_SHA256_STEP(3)
    ZEVA_SHA256_STEP(4)
    ZEVA_SHA256_STEP(5)
    ZEVA_SHA256_STEP(6)
    ZEVA_SHA256_STEP(7)
    ZEVA_SHA256_STEP(8)
    ZEVA_SHA256_STEP(9)
    ZEVA_SHA256_STEP(10)
    ZEVA_SHA256_STEP(11)
    ZEVA_SHA256_STEP(12)
    ZEVA_SHA256_STEP(13)
    ZEVA_SHA256_STEP(14)
    ZEVA_SHA256_STEP(15)
#undef ZEVA_SHA256_STEP
    abef = _mm_add_epi32(abef, abefStart);
    cdgh = _mm_add_epi32(cdgh, cdghStart);
  }

  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), _mm_blend_epi16(feba, dchg, 0xF0));
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), _mm_alignr_epi8(dchg, feba, 8));
}

#endif

}  // namespace

Sha256::Sha256(bool useCpuExtensions)
    : m_state(kInitial), m_useCpuExtensions(useCpuExtensions && CpuExtensionsAvailable()) {}

bool Sha256::CpuExtensionsAvailable() {
#if ZEVA_SHA256_X86
  static const bool available = DetectShaExtensions();
  return available;
#else
  return false;
#endif
}

void Sha256::Compress(const uint8_t* blocks, size_t count) {
#if ZEVA_SHA256_X86
  if (m_useCpuExtensions) return CompressShaExtensions(m_state.data(), blocks, count);
#endif
  CompressPortable(m_state.data(), blocks, count);
}

void Sha256::Update(const void* data, size_t size) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  m_length += size;
  if (m_pendingSize > 0) {
    const size_t taken = std::min(m_pending.size() - m_pendingSize, size);
    std::memcpy(m_pending.data() + m_pendingSize, bytes, taken);
    m_pendingSize += taken;
    bytes += taken;
    size -= taken;
    if (m_pendingSize < m_pending.size()) return;
    Compress(m_pending.data(), 1);
    m_pendingSize = 0;
  }
  const size_t blocks = size / 64;
  if (blocks > 0) Compress(bytes, blocks);
  bytes += blocks * 64;
  size -= blocks * 64;
  std::memcpy(m_pending.data(), bytes, size);
  m_pendingSize = size;
}

std::array<uint8_t, 32> Sha256::Finish() {
  const uint64_t bits = m_length * 8;
  // 0x80, zeros up to 8 bytes short of a block's end, then the length in bits.
  uint8_t padding[64 + 8] = {0x80};
  const size_t zeros = (m_pendingSize < 56 ? 56 : 120) - m_pendingSize;
  for (int i = 0; i < 8; ++i) padding[zeros + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
  Update(padding, zeros + 8);

  std::array<uint8_t, 32> digest{};
  for (size_t i = 0; i < 8; ++i) {
    for (size_t j = 0; j < 4; ++j) {
      digest[4 * i + j] = static_cast<uint8_t>(m_state[i] >> (24 - 8 * j));
    }
  }
  return digest;
}

std::string ToHex(const std::array<uint8_t, 32>& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(64);
  for (const uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 15];
  }
  return text;
}

std::optional<std::string> Sha256OfFile(IFileSystem& files, std::u16string_view path) {
  const std::optional<uint32_t> attributes = files.GetAttributes(path);
  if (!attributes || (*attributes & kAttrDirectory)) return std::nullopt;
  const std::unique_ptr<IFileReader> reader = files.OpenForReading(path);
  if (!reader) return std::nullopt;
  std::vector<uint8_t> buffer(kReadSize);
  Sha256 hash;
  for (uint64_t offset = 0;;) {
    const std::optional<size_t> got = reader->ReadAt(offset, buffer.data(), buffer.size());
    if (!got) return std::nullopt;
    if (*got == 0) break;
    hash.Update(buffer.data(), *got);
    offset += *got;
  }
  return ToHex(hash.Finish());
}

}  // namespace zeva
