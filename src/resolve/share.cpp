// From a share page's text to the address of the download-list request.
//
// The page is never parsed as HTML or script. Each value is cut out by a
// fixed series of marker searches (TextBetween: after the first left marker,
// up to the next right marker, exact case; empty when either is missing).
// Most series end by taking what stands between the first pair of double
// quotes. Where a step has an end mark, the mark is appended to the value
// before the step searches it, so that "up to the right marker" also means
// "or up to the end of the value".
#include <array>
#include <string>
#include <vector>

#include "resolve/resolve.h"

namespace brelk {
namespace {

enum class Encoding { kAsIs, kPercentGbk, kPercentUtf8 };

struct Step {
  const char* endMark;  // appended before searching; "" for none
  const char* left;
  const char* right;
};

constexpr Step kQuoted = {"", "\"", "\""};

struct ValueRule {
  const char* key;
  std::array<Step, 4> steps;
  int stepCount;
  Encoding encoding;
};

// One row per query key, in the order the keys are joined into the address.
// Every first step searches the whole page from its start.
constexpr std::array<ValueRule, 8> kValueRules = {{
    {"id", {{{"", "fileInfoFileSize", ","}, kQuoted}}, 2, Encoding::kAsIs},
    {"e", {{{"", "var _screctTime", ","}, kQuoted}}, 2, Encoding::kPercentGbk},
    {"d", {{{"", "ActiviDownloads", ","}, kQuoted}}, 2, Encoding::kPercentGbk},
    {"tdxsrv",
     {{{"", "dxservers", "ltservers"}, {"&&&", ">", "&&&"}, {"&&&", ":", "&&&"}, kQuoted}},
     4,
     Encoding::kPercentGbk},
    {"tltsrv",
     {{{"", "ltservers", ","}, {",", ">", ","}, {",", ":", ","}, kQuoted}},
     4,
     Encoding::kAsIs},
    // The second step looks for a further "downDelay:" inside the piece after
    // the first one: the value follows the page's second occurrence.
    {"delay", {{{"", "downDelay:", "/script>"}, {"", "downDelay:", ","}}}, 2, Encoding::kAsIs},
    {"n", {{{"", "fileInfoFileName", ","}, kQuoted}}, 2, Encoding::kPercentUtf8},
    {"t", {{{"", "Qt", ","}, kQuoted}}, 2, Encoding::kPercentGbk},
}};

constexpr const char* kFixedQueryPair = "&_=1404833400041";

// ExtractValue(): the value of a rule, from what its first step gave.
Text ExtractValue(Text value, const ValueRule& rule) {
  for (int i = 1; i < rule.stepCount; ++i) {
    const Step& step = rule.steps[static_cast<std::size_t>(i)];
    if (*step.endMark != '\0') value = ConcatText(value, step.endMark);
    value = TextBetween(value, step.left, step.right);
  }
  return value;
}

Text Encode(const Text& value, Encoding encoding) {
  switch (encoding) {
    case Encoding::kPercentGbk:
      return UrlEncode(value);
    case Encoding::kPercentUtf8:
      return UrlEncodeUtf8(value);
    case Encoding::kAsIs:
      break;
  }
  return value;
}

}  // namespace

Text DownloadListAddress(const Text& page, ResolveTrace* trace) noexcept {
  // The first steps all search the whole page: they are made together, so
  // a large page is read once.
  std::vector<MarkerPair> firstSteps;
  for (const ValueRule& rule : kValueRules) firstSteps.push_back({rule.steps[0].left, rule.steps[0].right});
  const TextList firsts = TextBetweenEach(page, firstSteps);

  std::string address = kDownloadListPrefix;
  for (std::size_t k = 0; k < kValueRules.size(); ++k) {
    const ValueRule& rule = kValueRules[k];
    const Text value = ExtractValue(firsts.items[k], rule);
    const Text joined = Encode(value, rule.encoding);
    if (&rule != &kValueRules[0]) address.append("&").append(rule.key).append("=");
    address.append(joined.view());
    if (trace != nullptr) trace->values.push_back({rule.key, value, joined});
  }
  address.append(kFixedQueryPair);
  return Text(std::move(address));
}

}  // namespace brelk
