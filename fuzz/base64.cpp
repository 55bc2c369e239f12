// Fuzz target: Base64Decode.
//
// Input: any bytes, zero bytes included, decoded as they are. Checked:
//   - the size law: floor(3n/4) bytes, less one or two for "=" or "==" at the
//     very end, never below zero;
//   - the whole result against the plain rewrite of the fixed rules in
//     naive.h (each group read as one 24-bit number);
//   - the input encoded by a plain RFC 4648 encoder decodes back to itself,
//     so well-formed padded input gets the standard decoding.
#include "naive.h"
#include "text/text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view in(reinterpret_cast<const char*>(data), size);

  const brelk::ByteString decoded = brelk::Base64Decode(brelk::ByteString(in));
  const std::size_t padding =
      size >= 2 && in.substr(size - 2) == "==" ? 2 : (size >= 1 && in.back() == '=' ? 1 : 0);
  const std::size_t full = size * 3 / 4;
  CHECK(decoded.size() == (full < padding ? 0 : full - padding));
  CHECK(decoded.view() == naive::Base64Decode(in));

  const std::string encoded = naive::Base64Encode(in);
  CHECK(brelk::Base64Decode(brelk::ByteString(encoded)).view() == in);
  return 0;
}
