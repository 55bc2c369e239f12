// The value model and the primitives that work on raw bytes and integers.
#include <cstring>

#include "text/scan.h"
#include "text/text.h"

namespace brelk {

Text::Text(const char* zeroTerminated) {
  if (zeroTerminated != nullptr) bytes_.assign(zeroTerminated);
}

Text::Text(std::string_view bytes) : bytes_(bytes.substr(0, bytes.find('\0'))) {}

Text::Text(std::string&& bytes) : bytes_(std::move(bytes)) {
  auto zero = bytes_.find('\0');
  if (zero != std::string::npos) bytes_.resize(zero);
}

int32_t ListCount(const TextList& list) noexcept {
  return static_cast<int32_t>(list.items.size());
}

const Text& ListItem(const TextList& list, int32_t position) noexcept {
  static const Text kEmpty;
  if (position < 1 || position > ListCount(list)) return kEmpty;
  return list.items[static_cast<std::size_t>(position) - 1];
}

void AppendText(TextList& list, const Text& t) noexcept { list.items.push_back(t); }

Text CharFromCode(int32_t c) noexcept {
  const char byte = static_cast<char>(static_cast<uint32_t>(c) & 0xFF);
  return Text(std::string_view(&byte, 1));  // a zero byte gives the empty text
}

Text HexText(int32_t n) noexcept {
  static const char kDigits[] = "0123456789ABCDEF";
  uint32_t v = static_cast<uint32_t>(n);
  char buffer[8];
  int i = 8;
  do {
    buffer[--i] = kDigits[v & 0xF];
    v >>= 4;
  } while (v != 0);
  return Text(std::string_view(buffer + i, static_cast<std::size_t>(8 - i)));
}

ByteString TextToBytes(const Text& t) noexcept { return ByteString(t.view()); }

Text BytesToText(const ByteString& b) noexcept { return Text(b.view()); }

// A zero byte means a shorter text: copied, so that the text does not keep
// the whole buffer alive.
Text BytesToText(ByteString&& b) noexcept {
  if (b.view().find('\0') != std::string_view::npos) return Text(b.view());
  return Text(std::move(b).release());
}

int32_t BytesLength(const ByteString& b) noexcept {
  return static_cast<int32_t>(b.size());
}

static std::size_t Clamp(int32_t n, std::size_t size) noexcept {
  if (n <= 0) return 0;
  return static_cast<std::size_t>(n) < size ? static_cast<std::size_t>(n) : size;
}

ByteString BytesLeft(const ByteString& b, int32_t n) noexcept {
  return ByteString(b.view().substr(0, Clamp(n, b.size())));
}

ByteString BytesRight(const ByteString& b, int32_t n) noexcept {
  const std::size_t k = Clamp(n, b.size());
  return ByteString(b.view().substr(b.size() - k));
}

int32_t FindBytes(const ByteString& data, const ByteString& pattern) noexcept {
  const std::size_t at = scan::FindBytesRaw(data.view(), pattern.view(), 0);
  return at == std::string_view::npos ? -1 : static_cast<int32_t>(at) + 1;
}

ByteString BlankBytes(int32_t n) noexcept {
  return n <= 0 ? ByteString() : ByteString(std::string(static_cast<std::size_t>(n), '\0'));
}

int32_t CompareBytes(const ByteString& a, const ByteString& b, int32_t n) noexcept {
  if (n <= 0) return 0;
  const std::size_t la = Clamp(n, a.size());
  const std::size_t lb = Clamp(n, b.size());
  const std::size_t common = la < lb ? la : lb;
  const int c = common == 0 ? 0 : std::memcmp(a.data(), b.data(), common);
  if (c != 0) return c < 0 ? -1 : 1;
  if (la == lb) return 0;
  return la < lb ? -1 : 1;
}

int32_t ToInteger(unsigned char b) noexcept { return b; }

int32_t ShiftLeft(int32_t x, int32_t k) noexcept {
  return static_cast<int32_t>(static_cast<uint32_t>(x) << (static_cast<uint32_t>(k) & 31));
}

int32_t ShiftRight(int32_t x, int32_t k) noexcept {
  return x >> (static_cast<uint32_t>(k) & 31);  // arithmetic for negative x
}

}  // namespace brelk
