// What the fuzz targets compare the library against: the rules of the text
// layer written out again in the plainest way, one byte or one character at
// a time, with 64-bit arithmetic and no shared code with src/. They are slow
// (quadratic searches) and meant only for fuzz-sized inputs.
//
// Also here: how a fuzz input is cut into fields, and Check(), which stops
// the run with a message so that libFuzzer records the input as a finding.
#ifndef BRELK_FUZZ_NAIVE_H_
#define BRELK_FUZZ_NAIVE_H_

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace naive {

// CHECK(cond): aborts with the failed condition when cond is false. An
// abort is what libFuzzer records as a crash, with the input that caused it.
#define CHECK(cond)                                                        \
  do {                                                                     \
    if (!(cond)) {                                                         \
      std::fprintf(stderr, "check failed: %s at %s:%d\n", #cond, __FILE__, \
                   __LINE__);                                              \
      std::abort();                                                        \
    }                                                                      \
  } while (0)

// ---------------------------------------------------------------------------
// Fuzz input

// Fields(): the input cut at every zero byte. A Text never holds a zero byte,
// so every field is a valid text, and a seed reads as its fields one after
// the other: printf 'abc\0b\0'.
inline std::vector<std::string_view> Fields(const uint8_t* data, std::size_t size) {
  std::vector<std::string_view> fields;
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  std::size_t start = 0;
  for (;;) {
    const std::size_t zero = all.find('\0', start);
    fields.push_back(all.substr(start, zero == std::string_view::npos ? std::string_view::npos
                                                                      : zero - start));
    if (zero == std::string_view::npos) return fields;
    start = zero + 1;
  }
}

// Field(): field i, or the empty text when the input has fewer fields.
inline std::string_view Field(const std::vector<std::string_view>& fields, std::size_t i) {
  return i < fields.size() ? fields[i] : std::string_view();
}

// Int(): a field read as a decimal integer ("-12", "+7"), saturated to the
// 32-bit range so that any long run of digits gives INT32_MIN or INT32_MAX.
// Reading stops at the first byte that is not a digit; no digits give 0.
inline int32_t Int(std::string_view field) {
  std::size_t i = 0;
  bool negative = false;
  if (i < field.size() && (field[i] == '-' || field[i] == '+')) negative = field[i++] == '-';
  int64_t value = 0;
  for (; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (field[i] - '0'), int64_t{1} << 33);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
}

// ---------------------------------------------------------------------------
// GBK characters

inline bool Lead(char c) { return static_cast<unsigned char>(c) >= 0x80; }

// Chars(): the text cut into characters from its first byte: a lead byte
// with a byte after it makes two, anything else (a dangling lead byte too)
// one.
inline std::vector<std::string_view> Chars(std::string_view t) {
  std::vector<std::string_view> chars;
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t len = Lead(t[i]) && i + 1 < t.size() ? 2 : 1;
    chars.push_back(t.substr(i, len));
    i += len;
  }
  return chars;
}

// OnBoundary(): whether a walk by characters that starts at origin stops at
// index i (both 0-based).
inline bool OnBoundary(std::string_view t, std::size_t origin, std::size_t i) {
  std::size_t b = origin;
  while (b < i) b += Lead(t[b]) ? 2 : 1;
  return b == i;
}

inline bool Blank(std::string_view ch) { return ch == " " || ch == "\xA1\xA1"; }

inline char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

inline bool SameBytes(std::string_view a, std::string_view b, bool ignoreCase) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if ((ignoreCase ? Fold(a[i]) : a[i]) != (ignoreCase ? Fold(b[i]) : b[i])) return false;
  }
  return true;
}

inline std::string Join(const std::vector<std::string_view>& parts) {
  std::string out;
  for (std::string_view p : parts) out.append(p);
  return out;
}

// ---------------------------------------------------------------------------
// Text primitives

inline std::string Left(std::string_view t, int64_t n) {
  if (n <= 0) return {};
  return std::string(t.substr(0, static_cast<std::size_t>(std::min<int64_t>(n, t.size()))));
}

inline std::string Right(std::string_view t, int64_t n) {
  if (n <= 0) return {};
  const int64_t k = std::min<int64_t>(n, t.size());
  return std::string(t.substr(t.size() - static_cast<std::size_t>(k)));
}

inline std::string Mid(std::string_view t, int64_t p, int64_t n) {
  const int64_t len = static_cast<int64_t>(t.size());
  if (p < 1 || p > len || n <= 0) return {};
  return std::string(t.substr(static_cast<std::size_t>(p - 1),
                              static_cast<std::size_t>(std::min(n, len - p + 1))));
}

// Find(): the scan of FindText, step by step: start at the start position
// (1 when it is 1 or less), compare at each point from which enough bytes
// remain, step one character, stop after a dangling lead byte.
inline int64_t Find(std::string_view t, std::string_view s, int64_t start = 1,
                    bool ignoreCase = false) {
  const int64_t len = static_cast<int64_t>(t.size());
  const int64_t origin = start > 1 ? start - 1 : 0;
  if (origin >= len) return -1;
  for (int64_t i = origin; i < len;) {
    if (len - i >= static_cast<int64_t>(s.size()) &&
        SameBytes(t.substr(static_cast<std::size_t>(i), s.size()), s, ignoreCase)) {
      return i + 1;
    }
    if (Lead(t[static_cast<std::size_t>(i)])) {
      if (i + 1 >= len) break;
      i += 2;
    } else {
      i += 1;
    }
  }
  return -1;
}

// Trim(): from the first character that is no blank to the end of the last
// one; empty when every character is a blank.
inline std::string Trim(std::string_view t) {
  std::size_t first = t.size(), end = 0;
  for (std::size_t i = 0; i < t.size();) {
    const std::size_t len = Lead(t[i]) && i + 1 < t.size() ? 2 : 1;
    if (!Blank(t.substr(i, len))) {
      first = std::min(first, i);
      end = i + len;
    }
    i += len;
  }
  return first < end ? std::string(t.substr(first, end - first)) : std::string();
}

inline std::string RemoveSpaces(std::string_view t) {
  std::string out;
  for (std::string_view ch : Chars(t)) {
    if (!Blank(ch)) out.append(ch);
  }
  return out;
}

inline std::string Replace(std::string_view t, std::string_view old, std::string_view repl) {
  if (t.empty() || old.empty()) return std::string(t);
  std::string out;
  for (std::size_t i = 0; i < t.size();) {
    if (t.size() - i >= old.size() && t.substr(i, old.size()) == old) {
      out.append(repl);
      i += old.size();
      continue;
    }
    const std::size_t len = Lead(t[i]) && i + 1 < t.size() ? 2 : 1;
    out.append(t.substr(i, len));
    i += len;
  }
  return out;
}

inline std::vector<std::string> Split(std::string_view t, std::string_view sep) {
  std::vector<std::string> list;
  if (t.empty()) return list;
  if (sep.empty()) return {std::string(t)};
  std::size_t piece = 0, i = 0;
  while (i < t.size()) {
    if (t.size() - i >= sep.size() && t.substr(i, sep.size()) == sep) {
      list.emplace_back(t.substr(piece, i - piece));
      i += sep.size();
      piece = i;
      continue;
    }
    if (Lead(t[i])) {
      if (i + 1 >= t.size()) break;  // a dangling lead byte ends the scan
      i += 2;
    } else {
      i += 1;
    }
  }
  if (piece < t.size()) list.emplace_back(t.substr(piece));
  return list;
}

// Compare(): -1, 0 or 1, bytes as unsigned values, a proper prefix first.
inline int Compare(std::string_view a, std::string_view b) {
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
    const unsigned x = static_cast<unsigned char>(a[i]);
    const unsigned y = static_cast<unsigned char>(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// ---------------------------------------------------------------------------
// Marker extraction

inline std::string Between(std::string_view text, std::string_view left, std::string_view right) {
  const int64_t p = Find(text, left);
  if (p == -1) return {};
  const std::string rest = Mid(text, p + static_cast<int64_t>(left.size()),
                               static_cast<int64_t>(text.size()));
  const int64_t q = Find(rest, right);
  if (q == -1) return {};
  return Mid(rest, 1, q - 1);
}

inline std::string ExtractMiddle(std::string_view text, std::string_view left,
                                 std::string_view right, int64_t start, bool caseSensitive) {
  const std::string l = Replace(left, "#\xD2\xFD\xBA\xC5", "\"");
  const std::string r = Replace(right, "#\xD2\xFD\xBA\xC5", "\"");
  const int64_t p = Find(text, l, start, !caseSensitive);
  if (p == -1) return {};
  const int64_t d = p + static_cast<int64_t>(l.size());
  const int64_t q = Find(text, r, d, !caseSensitive);
  if (q == -1) return {};
  return Mid(text, d, q - d);
}

// ---------------------------------------------------------------------------
// Base64

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Base64Decode(): the fixed rules, with each group read as one 24-bit
// number: bytes outside the alphabet count 0, only complete groups are
// decoded into an output of floor(3n/4) zero bytes, then "=" or "==" at the
// very end cuts one or two bytes off (all of them when there are fewer).
inline std::string Base64Decode(std::string_view in) {
  const std::size_t n = in.size();
  if (n == 0) return {};
  auto value = [&](std::size_t i) -> uint32_t {
    const std::size_t k = kAlphabet.find(in[i]);
    return k == std::string_view::npos ? 0 : static_cast<uint32_t>(k);
  };
  std::string out(static_cast<std::size_t>(uint64_t{n} * 3 / 4), '\0');
  for (std::size_t g = 0; 4 * g + 4 <= n; ++g) {
    const uint32_t v = value(4 * g) << 18 | value(4 * g + 1) << 12 | value(4 * g + 2) << 6 |
                       value(4 * g + 3);
    out[3 * g] = static_cast<char>(v >> 16);
    out[3 * g + 1] = static_cast<char>(v >> 8 & 0xFF);
    out[3 * g + 2] = static_cast<char>(v & 0xFF);
  }
  const std::size_t padding = n >= 2 && in.substr(n - 2) == "==" ? 2 : (in[n - 1] == '=' ? 1 : 0);
  if (out.size() < padding) return {};
  out.resize(out.size() - padding);
  return out;
}

// Base64Encode(): RFC 4648 with "=" padding.
inline std::string Base64Encode(std::string_view in) {
  std::string out;
  for (std::size_t i = 0; i < in.size(); i += 3) {
    const std::size_t k = std::min<std::size_t>(3, in.size() - i);
    uint32_t v = 0;
    for (std::size_t j = 0; j < 3; ++j) {
      v = v << 8 | (j < k ? static_cast<unsigned char>(in[i + j]) : 0u);
    }
    for (std::size_t j = 0; j < 4; ++j) {
      out.push_back(j <= k ? kAlphabet[v >> (18 - 6 * j) & 0x3F] : '=');
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Reply decoding

inline std::string StripScheme(std::string_view link) {
  const int64_t p = Find(link, "//");
  std::string rest = Right(link, static_cast<int64_t>(link.size()) - p - 1);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  return rest;
}

inline std::string DecodeDownloadReply(std::string_view reply) {
  const std::string body = StripScheme(Between(reply, "thunderDX:'", "'"));
  std::string decoded = Base64Decode(body);
  decoded.resize(std::min(decoded.size(), decoded.find('\0')));
  const int64_t n = static_cast<int64_t>(decoded.size());
  return Replace(Mid(decoded, 3, n - 4), "%25", "%");
}

// ---------------------------------------------------------------------------
// Unicode and percent-encoding

// Utf8ToUtf16(): the UTF-16 units of well-formed UTF-8 as little-endian
// bytes, or false when the input is not well-formed (an overlong form, a
// surrogate, a value past U+10FFFF, a missing or stray continuation byte).
inline bool Utf8ToUtf16(std::string_view in, std::string& out) {
  out.clear();
  auto unit = [&](uint32_t u) {
    out.push_back(static_cast<char>(u & 0xFF));
    out.push_back(static_cast<char>(u >> 8));
  };
  for (std::size_t i = 0; i < in.size();) {
    const uint32_t b = static_cast<unsigned char>(in[i]);
    std::size_t len;
    uint32_t cp, min;
    if (b < 0x80) { len = 1; cp = b; min = 0; }
    else if ((b & 0xE0) == 0xC0) { len = 2; cp = b & 0x1F; min = 0x80; }
    else if ((b & 0xF0) == 0xE0) { len = 3; cp = b & 0x0F; min = 0x800; }
    else if ((b & 0xF8) == 0xF0) { len = 4; cp = b & 0x07; min = 0x10000; }
    else return false;
    if (in.size() - i < len) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const uint32_t c = static_cast<unsigned char>(in[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = cp << 6 | (c & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    if (cp >= 0x10000) {
      unit(0xD800 + ((cp - 0x10000) >> 10));
      unit(0xDC00 + ((cp - 0x10000) & 0x3FF));
    } else {
      unit(cp);
    }
    i += len;
  }
  return true;
}

// UrlEncode(): letters and digits as they are, every other byte as "%" and
// two upper-case hex digits.
inline std::string UrlEncode(std::string_view in) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (char c : in) {
    const unsigned char b = static_cast<unsigned char>(c);
    if ((b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z')) {
      out.push_back(c);
    } else {
      out += {'%', kHex[b >> 4], kHex[b & 15]};
    }
  }
  return out;
}

// ---------------------------------------------------------------------------
// Header lines and cookies, step by step as the protocol describes them: lists
// walked from the start for every test, texts rebuilt by concatenation.

inline std::string HeaderName(std::string_view line) {
  const int64_t p = Find(line, ":");
  return p == -1 ? std::string() : Trim(Left(line, p - 1));
}

inline std::string HeaderValue(std::string_view line) {
  const int64_t p = Find(line, ":");
  return p == -1 ? std::string() : Trim(Right(line, static_cast<int64_t>(line.size()) - p));
}

inline std::string CookieName(std::string_view entry) {
  const int64_t p = Find(entry, "=");
  return p == -1 ? Trim(entry) : Trim(Left(entry, p - 1));
}

inline std::string JoinDistinct(std::string_view text, std::string_view sep) {
  std::vector<std::string> kept;
  std::string out;
  for (const std::string& piece : Split(text, sep)) {
    bool seen = false;
    for (const std::string& k : kept) seen = seen || k == piece;
    if (seen) continue;
    kept.push_back(piece);
    out += piece + std::string(sep);
  }
  return Left(out, static_cast<int64_t>(out.size()) - static_cast<int64_t>(sep.size()));
}

// MergeCookies(): writes both arguments as the library's does and returns
// the merged cookies.
inline std::string MergeCookies(std::string& cookies, std::string& received) {
  cookies = RemoveSpaces(cookies);
  received = RemoveSpaces(received);
  const std::vector<std::string> old = Split(cookies, ";");
  std::vector<std::string> merged = Split(received, ";");
  std::vector<std::string> names;  // CookieName() of each item of merged
  for (const std::string& item : merged) names.push_back(CookieName(item));
  for (const std::string& entry : old) {
    const std::string name = CookieName(entry);
    bool present = false;
    for (const std::string& n : names) present = present || n == name;
    if (present) continue;
    merged.push_back(entry);
    names.push_back(name);
  }
  cookies.clear();
  for (const std::string& entry : merged) {
    if (Right(entry, 8) != "=deleted") cookies += entry + "; ";
  }
  cookies = Left(cookies, static_cast<int64_t>(cookies.size()) - 2);
  cookies = JoinDistinct(cookies, "; ");
  return cookies;
}

// ScanResponseHeaders(): the scan the request routine makes of the response
// headers: the last line holding "Location:" gives the redirect target, and
// each line holding "Set-Cookie" gives the trimmed text between
// "Set-Cookie:" (any case) and the next ";", followed by "; ".
inline void ScanResponseHeaders(std::string_view headers, std::string& receivedCookies,
                                std::string& redirectTarget) {
  receivedCookies.clear();
  for (const std::string& line : Split(headers, "\r\n")) {
    if (Find(line, "Location:") != -1) redirectTarget = HeaderValue(line);
    if (Find(line, "Set-Cookie") != -1) {
      receivedCookies += Trim(ExtractMiddle(line, "Set-Cookie:", ";", 0, false)) + "; ";
    }
  }
}

}  // namespace naive

#endif  // BRELK_FUZZ_NAIVE_H_
