// Marker extraction: the value that stands between a left and a right marker.
#include "text/scan.h"
#include "text/text.h"

namespace brelk {

// TextBetween searches the remainder after the left marker as a view: a page
// of many megabytes is never copied to find a short value in it.
Text TextBetween(const Text& text, const Text& left, const Text& right) noexcept {
  const std::string_view page = text.view();
  const std::size_t p = scan::FindAligned(page, left.view(), 0);
  if (p == scan::npos) return Text();
  // Characters of the remainder are counted from its own start, as a search
  // in a fresh text would count them.
  const std::string_view rest = page.substr(p + left.size());
  const std::size_t q = scan::FindAligned(rest, right.view(), 0);
  if (q == scan::npos) return Text();
  return Text(rest.substr(0, q));
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
