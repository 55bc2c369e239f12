// Base64 decoding, by fixed rules that accept every input.
//
// Layout of one group: four input characters carry 6 bits each (w, x, y, z)
// and make three output bytes:
//
//   w: 543210  x: 54|3210  y: 5432|10  z: 543210
//      byte 0 = wwwwwwxx   byte 1 = xxxxyyyy   byte 2 = yyzzzzzz
//
// The alphabet is RFC 4648's "A-Z a-z 0-9 + /". Where input is not well-formed
// the rules below decide, and they depart from the standard on purpose:
//   - Every byte outside the alphabet ("=", blanks, line breaks, "-", "_",
//     bytes 80..FF, a zero byte) has the value 0, the same as "A", and keeps
//     its place in its group: one stray line break shifts all later groups.
//   - The output has floor(3n/4) bytes. Only complete groups are decoded; the
//     one to three bytes after the last one are not, and leave zero bytes.
//   - Padding is looked for only at the very end: "==" cuts two bytes off the
//     output, "=" one. A trailing "=" was decoded as 0 before the cut.
//   - Unused low bits of the last character before the padding are ignored.
// For well-formed padded input this is exactly the RFC 4648 decoding.
#include <array>
#include <cstdint>

#include "text/text.h"

namespace brelk {
namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<uint8_t, 256> MakeValueTable() {
  std::array<uint8_t, 256> table{};  // everything outside the alphabet is 0
  for (std::size_t k = 0; k < kAlphabet.size(); ++k) {
    table[static_cast<unsigned char>(kAlphabet[k])] = static_cast<uint8_t>(k);
  }
  return table;
}

constexpr std::array<uint8_t, 256> kValue = MakeValueTable();

}  // namespace

ByteString Base64Decode(const ByteString& encoded) noexcept {
  const std::string_view in = encoded.view();
  const std::size_t n = in.size();
  if (n == 0) return ByteString();

  std::size_t padding = 0;
  if (n >= 2 && in[n - 1] == '=' && in[n - 2] == '=') {
    padding = 2;
  } else if (in[n - 1] == '=') {
    padding = 1;
  }

  // 3n/4 computed in 64 bits so that it cannot wrap on a 32-bit size_t.
  const std::size_t outSize = static_cast<std::size_t>(uint64_t{n} * 3 / 4);
  std::string out(outSize, '\0');
  auto value = [&](std::size_t i) { return kValue[static_cast<unsigned char>(in[i])]; };
  for (std::size_t g = 0; 4 * g + 4 <= n; ++g) {
    const uint32_t w = value(4 * g), x = value(4 * g + 1);
    const uint32_t y = value(4 * g + 2), z = value(4 * g + 3);
    out[3 * g] = static_cast<char>(w * 4 + x / 16);
    out[3 * g + 1] = static_cast<char>((x * 16 + y / 4) & 0xFF);
    out[3 * g + 2] = static_cast<char>((y * 64 + z) & 0xFF);
  }
  if (out.size() < padding) return ByteString();
  out.resize(out.size() - padding);
  return ByteString(std::move(out));
}

}  // namespace brelk
