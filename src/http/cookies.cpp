// Cookie strings: entries, usually "name=value", separated by ";". A merge
// brings the string a caller sends up to date with the entries a response has
// just set: a received entry replaces the sent one of the same name, and an
// entry ending in "=deleted" stands for a cookie the server removed.
//
// Cookie strings come from servers, so their size is not ours to choose. The
// presence tests inside JoinDistinct and MergeCookies therefore ask an
// ordered set kept beside the list instead of walking the list each time;
// the results are those of the walk. An ordered set bounds the work at
// n log n comparisons whatever names a server picks, where a hash with a
// fixed seed could be flooded with colliding names.
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

#include "http/http.h"

namespace brelk {
namespace {

constexpr std::string_view kDeletionMarker = "=deleted";
constexpr std::string_view kEntrySeparator = "; ";

}  // namespace

// CookieName(): reads entry only; an entry without "=" is its own name, and
// the empty entry has the empty name.
Text CookieName(const Text& entry) noexcept {
  const int32_t equals = FindText(entry, "=");
  if (equals == -1) return TrimBoth(entry);
  return TrimBoth(TextLeft(entry, equals - 1));
}

// CookieNamePresent(): reads its arguments only; false for the empty list.
// Names compare byte for byte, case included.
bool CookieNamePresent(const TextList& list, const Text& name) noexcept {
  for (const Text& item : list.items) {
    if (CompareText(CookieName(item), name) == 0) return true;
  }
  return false;
}

// ListContains(): reads its arguments only; false for the empty list.
bool ListContains(const TextList& list, const Text& item) noexcept {
  for (const Text& candidate : list.items) {
    if (CompareText(candidate, item) == 0) return true;
  }
  return false;
}

// JoinDistinct(): reads its arguments only. The pieces are those of
// SplitText, so an empty text gives the empty text, an empty separator gives
// text unchanged, and a trailing separator adds no empty piece.
Text JoinDistinct(const Text& text, const Text& separator) noexcept {
  const TextList pieces = SplitText(text, separator);
  std::set<std::string_view> kept;  // views into pieces, which stay put
  std::string out;
  out.reserve(text.size() + separator.size());
  for (const Text& piece : pieces.items) {
    if (!kept.insert(piece.view()).second) continue;
    out.append(piece.view());
    out.append(separator.view());
  }
  out.resize(out.size() - (out.empty() ? 0 : separator.size()));  // the last separator goes
  return Text(std::move(out));
}

// MergeCookies(): writes both arguments (see http.h); no input is an error,
// and empty or blank-only arguments give empty results. Removing the blanks
// first means names and entries compare without them.
Text MergeCookies(Text& cookies, Text& receivedCookies) noexcept {
  cookies = RemoveSpaces(cookies);
  receivedCookies = RemoveSpaces(receivedCookies);
  const TextList old = SplitText(cookies, ";");
  TextList merged = SplitText(receivedCookies, ";");

  // names holds CookieName() of every item of merged as merged grows, so a
  // sent entry is dropped when a received entry or an earlier sent entry has
  // its name: the received value wins, and of several sent ones the first.
  std::set<std::string, std::less<>> names;
  for (const Text& item : merged.items) names.emplace(CookieName(item).view());
  merged.items.reserve(merged.items.size() + old.items.size());
  for (const Text& entry : old.items) {
    if (names.emplace(CookieName(entry).view()).second) AppendText(merged, entry);
  }

  std::string joined;
  joined.reserve(cookies.size() + receivedCookies.size() +
                 kEntrySeparator.size() * merged.items.size());
  for (const Text& item : merged.items) {
    if (item.view().ends_with(kDeletionMarker)) continue;  // removed by the server
    joined.append(item.view());
    joined.append(kEntrySeparator);
  }
  joined.resize(joined.size() - (joined.empty() ? 0 : kEntrySeparator.size()));

  // The repeats are looked for in the joined string split again at "; ", not
  // in the entries: an empty last entry leaves only a trailing "; ", which
  // splits into nothing, and a lead byte left dangling at the end of the
  // received string takes the ";" after it as its trail, so that entry and
  // the next one are one piece.
  cookies = JoinDistinct(Text(std::move(joined)), Text(kEntrySeparator));
  return cookies;
}

}  // namespace brelk
