// Reproducible text for the benchmarks' pages: a small linear congruential
// generator (the same pages on every run and machine) and random CJK
// ideographs in UTF-8.
#ifndef BRELK_BENCH_RANDOM_TEXT_H_
#define BRELK_BENCH_RANDOM_TEXT_H_

#include <cstdint>
#include <string>

namespace brelk::bench {

struct Random {
  uint32_t state = 12345;
  // Next(): a number below bound (> 0).
  uint32_t Next(uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  }
};

// AppendHan(): one ideograph of U+4E00-U+9DFF, as its three UTF-8 bytes.
inline void AppendHan(std::string& out, Random& random) {
  const uint32_t c = 0x4E00 + random.Next(0x5000);
  out += static_cast<char>(0xE0 | (c >> 12));
  out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (c & 0x3F));
}

}  // namespace brelk::bench

#endif  // BRELK_BENCH_RANDOM_TEXT_H_
