// Utf8ToGbk on a 4 MiB UTF-8 page, against one bare ICU conversion of the
// same bytes (ucnv_convert, UTF-8 straight to windows-936, into a buffer
// allocated beforehand). Utf8ToGbk makes four platform calls (measure and
// convert to UTF-16, measure and convert to GBK) and allocates two buffers;
// it should stay within twice the bare conversion.
//
// Four pages: markup with Chinese text in it, as a share page is; Chinese
// text alone; Chinese text with short runs of digits; and ASCII and Chinese
// alternating at random character by character, the worst case for every
// branch.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <cstdint>
#include <string>
#include <vector>

#include "text/text.h"

namespace brelk {
namespace {

constexpr std::size_t kPageBytes = 4u << 20;

struct Random {
  uint32_t state = 12345;
  uint32_t Next(uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 8) % bound;
  }
};

void AppendHan(std::string& out, Random& random) {
  const uint32_t c = 0x4E00 + random.Next(0x5000);
  out += static_cast<char>(0xE0 | (c >> 12));
  out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  out += static_cast<char>(0x80 | (c & 0x3F));
}

std::string Page(int kind) {
  Random random;
  std::string page;
  while (page.size() < kPageBytes) {
    switch (kind) {
      case 0:  // markup around short Chinese texts
        page += "<li class=\"file\"><a href=\"/f/" + std::to_string(random.Next(1000000)) +
                ".html\" title=\"";
        for (uint32_t n = 4 + random.Next(20); n > 0; --n) AppendHan(page, random);
        page += "\">";
        for (uint32_t n = 2 + random.Next(10); n > 0; --n) AppendHan(page, random);
        page += ".rar</a><span class=\"size\">12.5 MB</span></li>\n"
                "<script type=\"text/javascript\">var fileId = 'abc123';</script>\n";
        break;
      case 1:
        AppendHan(page, random);
        break;
      case 2:
        for (uint32_t n = 5 + random.Next(25); n > 0; --n) AppendHan(page, random);
        for (uint32_t n = 1 + random.Next(8); n > 0; --n) {
          page += static_cast<char>('0' + random.Next(10));
        }
        break;
      default:
        if (random.Next(2) == 0) {
          page += static_cast<char>('a' + random.Next(26));
        } else {
          AppendHan(page, random);
        }
        break;
    }
  }
  return page;
}

void BM_Utf8ToGbk(benchmark::State& state) {
  const ByteString page(Page(static_cast<int>(state.range(0))));
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToGbk(page));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * BytesLength(page));
}

void BM_BareIcuConversion(benchmark::State& state) {
  const std::string page = Page(static_cast<int>(state.range(0)));
  std::vector<char> out(page.size());
  for (auto _ : state) {
    UErrorCode error = U_ZERO_ERROR;
    benchmark::DoNotOptimize(ucnv_convert("windows-936", "UTF-8", out.data(),
                                          static_cast<int32_t>(out.size()), page.data(),
                                          static_cast<int32_t>(page.size()), &error));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(page.size()));
}

// 0: markup page, 1: Chinese text, 2: Chinese with digits, 3: alternating.
BENCHMARK(BM_Utf8ToGbk)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareIcuConversion)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brelk

BENCHMARK_MAIN();
