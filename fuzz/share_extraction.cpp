// Fuzz target: DownloadListAddress, the address built from a share page.
//
// Input: the page's bytes (zero bytes left out: a page is text). Checked:
//   - the address starts with the fixed prefix and ends with the fixed pair
//     "&_=1404833400041";
//   - it equals the address built step by step in this file from the
//     extraction table of the share page (the marker searches of naive.h,
//     the plain percent-encoding);
//   - asking for a trace changes nothing, and the trace names the eight keys
//     in order with the values as extracted and as joined.
#include <algorithm>
#include <array>

#include "naive.h"
#include "resolve/resolve.h"

namespace {

constexpr std::string_view kFixedPair = "&_=1404833400041";

std::string Quoted(std::string_view v) { return naive::Between(v, "\"", "\""); }

// Extract(): the eight values, in the order of their query keys.
std::array<std::string, 8> Extract(std::string_view page) {
  using naive::Between;
  std::string tdxsrv = Between(page, "dxservers", "ltservers");
  tdxsrv = Between(tdxsrv + "&&&", ">", "&&&");
  tdxsrv = Between(tdxsrv + "&&&", ":", "&&&");
  std::string tltsrv = Between(page, "ltservers", ",");
  tltsrv = Between(tltsrv + ",", ">", ",");
  tltsrv = Between(tltsrv + ",", ":", ",");
  return {
      Quoted(Between(page, "fileInfoFileSize", ",")),
      Quoted(Between(page, "var _screctTime", ",")),
      Quoted(Between(page, "ActiviDownloads", ",")),
      Quoted(tdxsrv),
      Quoted(tltsrv),
      Between(Between(page, "downDelay:", "/script>"), "downDelay:", ","),
      Quoted(Between(page, "fileInfoFileName", ",")),
      Quoted(Between(page, "Qt", ",")),
  };
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  std::erase(bytes, '\0');
  const brelk::Text page(bytes);

  const brelk::Text address = brelk::DownloadListAddress(page);
  const std::string_view prefix = brelk::kDownloadListPrefix;
  CHECK(prefix.starts_with("http://") && prefix.ends_with("/ajax/downloads.ashx?id="));
  CHECK(address.view().starts_with(prefix));
  CHECK(address.view().ends_with(kFixedPair));

  const std::array<std::string, 8> values = Extract(page.view());
  const std::string name = std::string(brelk::BytesToText(brelk::GbkToUtf8(brelk::Text(values[6]))).view());
  const std::array<std::string, 8> joined = {
      values[0],
      naive::UrlEncode(values[1]),
      naive::UrlEncode(values[2]),
      naive::UrlEncode(values[3]),
      values[4],
      values[5],
      naive::UrlEncode(name),
      naive::UrlEncode(values[7]),
  };
  static const std::array<const char*, 8> kKeys = {"id", "e", "d", "tdxsrv", "tltsrv", "delay", "n", "t"};
  std::string want(prefix);
  for (std::size_t i = 0; i < kKeys.size(); ++i) {
    if (i > 0) want += std::string("&") + kKeys[i] + "=";
    want += joined[i];
  }
  want += kFixedPair;
  CHECK(address.view() == want);

  brelk::ResolveTrace trace;
  CHECK(brelk::DownloadListAddress(page, &trace) == address);
  CHECK(trace.values.size() == kKeys.size());
  for (std::size_t i = 0; i < kKeys.size() && i < trace.values.size(); ++i) {
    CHECK(trace.values[i].key.view() == kKeys[i]);
    CHECK(trace.values[i].extracted.view() == values[i]);
    CHECK(trace.values[i].joined.view() == joined[i]);
  }
  return 0;
}
