// Marker extraction: the value that stands between a left and a right marker.
#include <string_view>
#include <vector>

#include "text/scan.h"
#include "text/text.h"

namespace brelk {

namespace {

// After(): the text after the left marker found at p, up to the next right
// marker; empty when either is missing. The remainder is searched as a view:
// a page of many megabytes is never copied to find a short value in it, and
// its characters are counted from its own start, as a search in a fresh
// text would count them.
Text After(std::string_view page, std::size_t p, const Text& left, const Text& right) noexcept {
  if (p == scan::npos) return Text();
  const std::string_view rest = page.substr(p + left.size());
  const std::size_t q = scan::FindAligned(rest, right.view(), 0);
  if (q == scan::npos) return Text();
  return Text(rest.substr(0, q));
}

}  // namespace

Text TextBetween(const Text& text, const Text& left, const Text& right) noexcept {
  return After(text.view(), scan::FindAligned(text.view(), left.view(), 0), left, right);
}

TextList TextBetweenEach(const Text& text, const std::vector<MarkerPair>& pairs) noexcept {
  std::vector<std::string_view> lefts;
  lefts.reserve(pairs.size());
  for (const MarkerPair& pair : pairs) lefts.push_back(pair.left.view());
  const std::vector<std::size_t> at = scan::FindAlignedEach(text.view(), lefts);
  TextList values;
  values.items.reserve(pairs.size());
  for (std::size_t k = 0; k < pairs.size(); ++k) {
    values.items.push_back(After(text.view(), at[k], pairs[k].left, pairs[k].right));
  }
  return values;
}

// "#" followed by the GBK word for quotation marks: how a caller writes a
// double quote inside a marker.
static const Text kQuotePlaceholder = "#\xD2\xFD\xBA\xC5";

Text ExtractMiddle(const Text& text, const Text& left, const Text& right, int32_t start,
                   bool caseSensitive) noexcept {
  const Text leftMarker = ReplaceText(left, kQuotePlaceholder, "\"");
  const Text rightMarker = ReplaceText(right, kQuotePlaceholder, "\"");
  const int32_t p = FindText(text, leftMarker, start, !caseSensitive);
  if (p == -1) return Text();
  const int32_t d = p + TextLength(leftMarker);
  const int32_t q = FindText(text, rightMarker, d, !caseSensitive);
  if (q == -1) return Text();
  return TextMid(text, d, q - d);
}

}  // namespace brelk
