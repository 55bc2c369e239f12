// Cookie strings: entries, usually "name=value", separated by ";". A merge
// brings the string a caller sends up to date with the entries a response has
// just set: a received entry replaces the sent one of the same name, and an
// entry ending in "=deleted" stands for a cookie the server removed.
//
// Cookie strings come from servers, so their size is not ours to choose. The
// presence tests inside JoinDistinct and MergeCookies therefore sort the
// positions by key once instead of walking the list for each entry; the
// results are those of the walk. Sorting bounds the work at n log n
// comparisons whatever names a server picks, where a hash with a fixed seed
// could be flooded with colliding names.
#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

namespace {

// FirstOfEach(): for keys[i], whether no key before it is equal. One sort of
// the positions by key (stable, so equal keys stay in their order) and one
// pass over the runs: n log n comparisons whatever the keys, and no memory
// per key beyond one position, so a merge of many thousands of cookies
// allocates little.
std::vector<bool> FirstOfEach(const std::vector<std::string_view>& keys) {
  std::vector<uint32_t> order(keys.size());
  for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return keys[a] < keys[b]; });
  std::vector<bool> first(keys.size(), false);
  for (std::size_t r = 0; r < order.size(); ++r) {
    first[order[r]] = r == 0 || keys[order[r]] != keys[order[r - 1]];
  }
  return first;
}

}  // namespace

// JoinDistinct(): reads its arguments only. The pieces are those of
// SplitText, so an empty text gives the empty text, an empty separator gives
// text unchanged, and a trailing separator adds no empty piece.
Text JoinDistinct(const Text& text, const Text& separator) noexcept {
  const std::vector<std::string_view> keys = SplitViews(text, separator);
  const std::vector<bool> first = FirstOfEach(keys);
  std::string out;
  out.reserve(text.size() + separator.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (!first[i]) continue;
    out.append(keys[i]);
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
  // Views into the two strings, which stay unchanged until the end.
  const std::vector<std::string_view> received = SplitViews(receivedCookies, ";");
  const std::vector<std::string_view> sent = SplitViews(cookies, ";");

  // Every received entry is kept; a sent entry only when no received entry
  // and no earlier sent entry has its name: the received value wins, and of
  // several sent ones the first. Names are ranked received first, so a sent
  // entry is kept exactly when it is the first of its name.
  // Without blanks, a name is the start of its entry, so the key is a view
  // into the entry; a name that were not (none is) would be kept aside.
  std::vector<std::string_view> keys;
  std::deque<Text> odd;  // views into it stay put as it grows
  keys.reserve(received.size() + sent.size());
  for (const std::vector<std::string_view>* entries : {&received, &sent}) {
    for (std::string_view item : *entries) {
      Text name = CookieName(Text(item));
      if (item.starts_with(name.view())) {
        keys.push_back(item.substr(0, name.size()));
      } else {
        odd.push_back(std::move(name));
        keys.push_back(odd.back().view());
      }
    }
  }
  const std::vector<bool> first = FirstOfEach(keys);

  std::string joined;
  joined.reserve(cookies.size() + receivedCookies.size() + kEntrySeparator.size() * keys.size());
  const auto join = [&](std::string_view item) {
    if (item.ends_with(kDeletionMarker)) return;  // removed by the server
    joined.append(item);
    joined.append(kEntrySeparator);
  };
  for (std::string_view item : received) join(item);
  for (std::size_t i = 0; i < sent.size(); ++i) {
    if (first[received.size() + i]) join(sent[i]);
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
