// Utf8ToGbk on a 4 MiB UTF-8 page, against one bare ICU conversion of the
// same bytes (ucnv_convert, UTF-8 straight to windows-936, into a buffer
// allocated beforehand). Utf8ToGbk goes through UTF-16 block by block (a
// conversion to UTF-16, then a measuring and a converting call to GBK) and
// allocates its result; it should stay within twice the bare conversion.
//
// Four pages: markup with Chinese text in it, as a share page is; Chinese
// text alone; Chinese text with short runs of digits; and ASCII and Chinese
// alternating at random character by character, the worst case for every
// branch.
#include <benchmark/benchmark.h>
#include <unicode/ucnv.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/random_text.h"
#include "text/text.h"

namespace brelk {
namespace {

using bench::AppendHan;
using bench::Random;

constexpr std::size_t kPageBytes = 4u << 20;

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

// BM_Utf8ToGbk: the whole call, measuring included, against one bare
// conversion of the same page into a buffer allocated beforehand, measured
// in the same run and interleaved with the calls. Bound: 2x.
void BM_Utf8ToGbk(benchmark::State& state) {
  const std::string bytes = Page(static_cast<int>(state.range(0)));
  const ByteString page(bytes);
  std::vector<char> out(bytes.size());
  double call = 0, limit = 0;
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    UErrorCode error = U_ZERO_ERROR;
    benchmark::DoNotOptimize(ucnv_convert("windows-936", "UTF-8", out.data(), static_cast<int32_t>(out.size()),
                                          bytes.data(), static_cast<int32_t>(bytes.size()), &error));
    const auto t1 = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(Utf8ToGbk(page));
    const auto t2 = std::chrono::steady_clock::now();
    limit += std::chrono::duration<double>(t1 - t0).count();
    call += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
  }
  const double n = static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * BytesLength(page));
  state.counters["call_ms"] = 1000 * call / n;
  state.counters["limit_ms"] = 1000 * limit / n;
  state.counters["ratio"] = call / limit;
  state.counters["bound"] = 2;
}

// 0: markup page (the share page's case), 1: Chinese text, 2: Chinese with
// digits, 3: alternating.
BENCHMARK(BM_Utf8ToGbk)->DenseRange(0, 3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace brelk

BENCHMARK_MAIN();
