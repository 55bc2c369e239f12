// DownloadListAddress, the eight values cut out of a share page and joined,
// on GBK share pages of 64 KiB, 1 MiB and 16 MiB whose script stands after
// the listing markup, as on the file host's pages.
//
// The limit, measured in the same run and interleaved with the calls: eight
// memmem scans of the same page, one for the first marker of each value,
// each from the start of the page as the extraction's first step searches.
// Bound: 3x, at every size (so the cost grows linearly with the page, as
// memmem's does).
#include <benchmark/benchmark.h>
#include <string.h>

#include <chrono>
#include <string>

#include "bench/bench_pages.h"
#include "resolve/resolve.h"

namespace brelk::bench {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kFirstMarkers[] = {"fileInfoFileSize", "var _screctTime", "ActiviDownloads",
                                         "dxservers",        "ltservers",       "downDelay:",
                                         "fileInfoFileName", "Qt"};

void BM_DownloadListAddress(benchmark::State& state) {
  const std::size_t bytes = static_cast<std::size_t>(state.range(0));
  const Text page(PaddedPage(Charset::kGbk, bytes));
  const std::string want = DownloadListAddressOf(fixture::GbkShare());
  if (DownloadListAddress(page).view() != want) {
    state.SkipWithError("the padded page gives another address");
    return;
  }
  double call = 0, limit = 0;
  for (auto _ : state) {
    const auto t0 = Clock::now();
    for (const char* marker : kFirstMarkers) {
      benchmark::DoNotOptimize(memmem(page.view().data(), page.size(), marker, strlen(marker)));
    }
    const auto t1 = Clock::now();
    benchmark::DoNotOptimize(DownloadListAddress(page));
    const auto t2 = Clock::now();
    limit += std::chrono::duration<double>(t1 - t0).count();
    call += std::chrono::duration<double>(t2 - t1).count();
    state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["limit_us"] = 1e6 * limit / n;
  state.counters["call_us"] = 1e6 * call / n;
  state.counters["ns_per_byte"] = 1e9 * call / n / static_cast<double>(bytes);
  state.counters["ratio"] = call / limit;
  state.counters["bound"] = 3;
}
BENCHMARK(BM_DownloadListAddress)
    ->Arg(64 << 10)
    ->Arg(1 << 20)
    ->Arg(16 << 20)
    ->UseManualTime()
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace brelk::bench

BENCHMARK_MAIN();
