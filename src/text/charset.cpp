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
//                           (in blocks, unmeasured, see Utf8ToGbk)
//   GbkToWide    936        -1: the text and its zero  0
//   WideToUtf8   65001      every unit                 0
#include <bit>
#include <string>
#include <string_view>

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

// Utf8ToGbk converts large inputs in blocks of about this many bytes.
constexpr std::size_t kBlockBytes = 32u << 10;

}  // namespace

ByteString Utf8ToWide(const ByteString& utf8) noexcept {
  const int32_t length = BytesLength(utf8);
  if (length == 0) return ByteString();
  return ToWide(platform::kCodePageUtf8, utf8.data(), length);
}

// BlockEnd(): where the block of utf8 that starts at from ends: at least
// kBlockBytes on, before the first ASCII byte or lead byte E4 to E9 (the
// first byte of a CJK ideograph, U+4000 to U+9FFF), or at the end.
std::size_t BlockEnd(std::string_view utf8, std::size_t from) noexcept {
  if (utf8.size() - from <= kBlockBytes) return utf8.size();
  for (std::size_t i = from + kBlockBytes; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80 || (byte >= 0xE4 && byte <= 0xE9)) return i;
  }
  return utf8.size();
}

// Utf8ToGbk(): the same two conversions as Utf8ToWide and then UTF-16 to
// GBK, made block by block so that the UTF-16 form of a large page never
// exists whole: a block's UTF-16 stays in the cache, and the result is the
// only buffer of the page's size. A block ends just before an ASCII byte or
// the lead byte of a CJK ideograph, where the result cannot differ from
// that of one conversion of everything: such a byte always starts a
// character afresh, so no UTF-8 sequence and no surrogate pair is split
// there, and what it starts (ASCII, an ideograph, or U+FFFD for a broken
// sequence) is no mark that the composite check would join to the
// character before it. No block needs a measuring call: UTF-8 never takes
// fewer bytes than the UTF-16 units it gives, and GBK never more than two
// bytes for a unit, so buffers of those sizes always suffice.
ByteString Utf8ToGbk(const ByteString& utf8) noexcept {
  const std::string_view bytes = utf8.view();
  std::string gbk;
  gbk.reserve(bytes.size());  // GBK never takes more bytes than UTF-8
  std::u16string wide;
  std::string block;
  for (std::size_t from = 0, end = 0; from < bytes.size(); from = end) {
    end = BlockEnd(bytes, from);
    const auto length = static_cast<int32_t>(end - from);
    if (wide.size() < end - from) wide.resize(end - from);
    const int32_t units = platform::MultiByteToWide(platform::kCodePageUtf8, 0, bytes.data() + from,
                                                    length, wide.data(), length);
    if (units <= 0) return ByteString();
    if (block.size() < 2 * static_cast<std::size_t>(units)) block.resize(2 * static_cast<std::size_t>(units));
    const int32_t size = platform::WideToMultiByte(platform::kCodePageGbk, platform::kCompositeCheck,
                                                   wide.data(), units, block.data(), 2 * units);
    if (size <= 0) return ByteString();
    gbk.append(block.data(), static_cast<std::size_t>(size));
  }
  return ByteString(std::move(gbk));
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
