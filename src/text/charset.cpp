// Conversion between GBK (a Text), UTF-16 (a ByteString of little-endian
// units) and UTF-8 (a ByteString), on top of the platform's code-page
// service.
//
// Every platform conversion is made in two calls on the same source: one
// that measures (no buffer), then one that converts into a zero-filled
// buffer of exactly the measured size. A measure of 0 (empty input or a
// failed call) gives the empty byte string. The converting call's answer is
// not needed: the buffer is the result.
//
//   routine      code page  source length             flags
//   Utf8ToWide   65001      every byte, zeros too      0
//   Utf8ToGbk    936        every unit of Utf8ToWide   WC_COMPOSITECHECK
//   GbkToWide    936        -1: the text and its zero  0
//   WideToUtf8   65001      every unit                 0
#include <bit>

#include "platform/platform.h"
#include "text/text.h"

namespace brelk {

// The platform writes UTF-16 units in the machine's order, and a ByteString
// carries them little-endian; both build targets are little-endian.
static_assert(std::endian::native == std::endian::little);

namespace {

// Units(), UnitsOut(): a UTF-16 byte string's units as the platform takes
// and writes them. The buffer comes from the allocator and is aligned for
// them.
const char16_t* Units(const ByteString& wide) noexcept {
  return reinterpret_cast<const char16_t*>(wide.data());
}

char16_t* UnitsOut(ByteString& wide) noexcept {
  return reinterpret_cast<char16_t*>(wide.data());
}

// ToWide(): source bytes of sourceLength (-1: up to and including the zero)
// in codePage, as UTF-16.
ByteString ToWide(uint32_t codePage, const char* source, int32_t sourceLength) noexcept {
  const int32_t units =
      platform::MultiByteToWide(codePage, 0, source, sourceLength, nullptr, 0);
  if (units <= 0 || units > INT32_MAX / 2) return ByteString();
  ByteString wide = BlankBytes(2 * units);
  platform::MultiByteToWide(codePage, 0, source, sourceLength, UnitsOut(wide), units);
  return wide;
}

// FromWide(): every unit of a UTF-16 byte string, in codePage.
ByteString FromWide(uint32_t codePage, uint32_t flags, const ByteString& wide) noexcept {
  const int32_t units = BytesLength(wide) / 2;
  if (units == 0) return ByteString();
  const int32_t size =
      platform::WideToMultiByte(codePage, flags, Units(wide), units, nullptr, 0);
  if (size <= 0) return ByteString();
  ByteString bytes = BlankBytes(size);
  platform::WideToMultiByte(codePage, flags, Units(wide), units, bytes.data(), size);
  return bytes;
}

}  // namespace

ByteString Utf8ToWide(const ByteString& utf8) noexcept {
  const int32_t length = BytesLength(utf8);
  if (length == 0) return ByteString();
  return ToWide(platform::kCodePageUtf8, utf8.data(), length);
}

ByteString Utf8ToGbk(const ByteString& utf8) noexcept {
  return FromWide(platform::kCodePageGbk, platform::kCompositeCheck, Utf8ToWide(utf8));
}

ByteString GbkToWide(const Text& gbk) noexcept {
  // With -1 the platform would give the empty text one zero unit; the empty
  // text converts to nothing.
  if (gbk.empty()) return ByteString();
  return ToWide(platform::kCodePageGbk, gbk.c_str(), -1);
}

ByteString WideToUtf8(const ByteString& utf16) noexcept {
  return FromWide(platform::kCodePageUtf8, 0, utf16);
}

ByteString GbkToUtf8(const Text& gbk) noexcept { return WideToUtf8(GbkToWide(gbk)); }

}  // namespace brelk
